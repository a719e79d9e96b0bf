#include "inspect/analysis/source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "store/grid.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

std::string place_text(const Worst& worst) {
  std::string text = "(";
  text += general_number(worst.x, 7);
  text += ", ";
  text += general_number(worst.y, 7);
  text += ", ";
  text += general_number(worst.z, 7);
  text += ")";
  return text;
}

void render_departures(std::string& out, const Departures& d, char set) {
  out += "    component  largest departure  line        (x, y, z) in m\n";
  for (int c = 0; c < 3; ++c) {
    const Worst& worst = d.worst[c];
    char line[320];
    if (worst.line > 0) {
      std::snprintf(line, sizeof line, "    %c%s         %-18s %-11ld %s\n", set, axis_names[c],
                    general_number(worst.relative, 3).c_str(), worst.line,
                    place_text(worst).c_str());
    } else {
      std::snprintf(line, sizeof line, "    %c%s         0                  (no record departs)\n",
                    set, axis_names[c]);
    }
    out += line;
  }
  out += "    rms departure " + general_number(d.rms, 3) + "\n";
}

// Which axes put the records outside the map: " (beyond x: 10880)", or nothing.
std::string outside_text(const SourceComparison& c) {
  std::string text;
  for (int axis = 0; axis < 3; ++axis) {
    if (c.outside_by_axis[axis] == 0) continue;
    text += text.empty() ? " (beyond " : ", ";
    text += std::string(axis_names[axis]) + ": " + std::to_string(c.outside_by_axis[axis]);
  }
  return text.empty() ? text : text + ")";
}

std::string scaling_text(const SourceTable& table) {
  const std::string ifield = " (ifield " + std::to_string(table.ifield) + ")";
  if (table.ifield == 0) {
    return "E: the table's values times fscale " + general_number(table.fscale, 7) + " and 0.01" +
           ifield;
  }
  if (table.ifield == 1) {
    return "H: the table's values times fscale " + general_number(table.fscale, 7) + ifield;
  }
  return "E: the table's values as read" + ifield;
}

}  // namespace

std::string departure_headline(const SourceComparison& c) {
  return "source departure: max " + general_number(c.max, 3) + ", rms " + general_number(c.rms, 3);
}

std::string render_source_report(const SourceComparison& c, const SourceTable& table,
                                 double tolerance) {
  std::string out = "\nsource: table '" + printable(table.table) + "', named by '" +
                    printable(table.control) + "'\n";
  out += "  " + std::to_string(table.records.size()) + " records";
  out += table.ireim == 3 ? " without coordinates (placed on the grid of the control values)"
                          : " (loop order " + std::to_string(table.iord) + ")";
  out += "; " + scaling_text(table) + "\n";
  if (table.z_half_kept) {
    out += "  z placed as korvane places it: the z half kept from z = 0 up";
  } else {
    out += "  z placed as korvane places it";
  }
  out += table.z_moved != 0.0 ? ", moved by " + general_number(table.z_moved, 7) + " m\n"
                              : ", as read\n";
  for (const std::string& warning : table.warnings) out += "  korvane warns: " + warning + "\n";
  if (!c.kept_planes.empty()) {
    const bool several = c.kept_planes.find(',') != std::string::npos;
    out += std::string("  the map keeps the plane") + (several ? "s " : " ") + c.kept_planes +
           ": the records on its kept side are compared\n";
  }
  for (const std::string& note : c.notes) out += "  note: " + note + "\n";
  out += "  compared " + std::to_string(c.all.records) + " records at their nodes, " +
         std::to_string(c.outside) + " outside the map" + outside_text(c) + "\n";
  if (table.ireim != 3) {
    out += "  printed coordinates lie within " + general_number(table.rounding, 3) +
           " of a step of their nodes";
    if (table.rounding > 0.0) {
      out += std::string(" (largest along ") + axis_names[table.rounding_axis] + ", line " +
             std::to_string(table.rounding_line) + ")";
    }
    out += ": the export's rounding, not a departure\n";
  }
  out += std::string("  departures relative to the table's largest |") + c.set +
         "| = " + general_number(c.reference, 7) + ":\n";
  if (c.all.records > 0) render_departures(out, c.all, c.set);
  if (c.on_nodes.records > 0) {
    out += "  at the " + std::to_string(c.on_nodes.records) +
           " records on the map's nodes (within 1e-9 of a step):\n";
    render_departures(out, c.on_nodes, c.set);
  } else {
    out += "  no record lies on the map's nodes\n";
  }
  if (c.all.records == 0) {
    out += "  verdict: NOTHING COMPARED (no record of the table lies inside the map)\n";
  } else if (c.fault) {
    out += "  verdict: DEPARTS (largest departure " + general_number(c.max, 3) +
           " above the tolerance " + general_number(tolerance, 3) + ")\n";
  } else {
    out += "  verdict: within the tolerance " + general_number(tolerance, 3) + "\n";
  }
  out += departure_headline(c) + "\n";
  return out;
}

}  // namespace korvane::inspect
