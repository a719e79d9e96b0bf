// The page's Source section: how far the map departs from the solver's table, and where.
#include <cmath>
#include <limits>

#include "inspect/render/colour_map.h"
#include "inspect/render/html.h"
#include "inspect/render/report_page.h"
#include "inspect/render/svg_document.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

// Built piece by piece: GCC 12 warns of an overlap (-Wrestrict) that is not there when the
// text starts as a one-character literal added to a string.
std::string place(double x, double y, double z) {
  std::string text = "(";
  for (const double v : {x, y, z}) {
    if (text.size() > 1) text += ", ";
    text += general_number(v, 7);
  }
  return text + ")";
}

std::string departures_table(const std::string& caption, const Departures& d, char set) {
  std::vector<Row> rows;
  for (int c = 0; c < 3; ++c) {
    const Worst& worst = d.worst[c];
    const std::string component = std::string(1, set) + axis_names[c];
    if (worst.line > 0) {
      rows.push_back({component, general_number(worst.relative, 3), std::to_string(worst.line),
                      place(worst.x, worst.y, worst.z)});
    } else {
      rows.push_back({component, "0", "", "no record departs"});
    }
  }
  rows.push_back({"rms", general_number(d.rms, 3), "", ""});
  return html_table(caption, {"component", "largest departure", "line", "(x, y, z) in m"}, rows);
}

std::string verdict_text(const SourceComparison& c, double tolerance) {
  if (c.all.records == 0) return "NOTHING COMPARED (no record of the table lies inside the map)";
  if (c.fault) {
    return "DEPARTS (largest departure " + general_number(c.max, 3) + " above the tolerance " +
           general_number(tolerance, 3) + ")";
  }
  return "within the tolerance " + general_number(tolerance, 3);
}

std::string counts_text(const SourceComparison& c, const SourceTable& table) {
  std::string text = "Table '" + printable(table.table) + "', named by '" +
                     printable(table.control) + "': " + std::to_string(table.records.size()) +
                     " records; " + std::to_string(c.all.records) + " compared, " +
                     std::to_string(c.outside) + " outside the map";
  std::string by_axis;
  for (int a = 0; a < 3; ++a) {
    if (c.outside_by_axis[a] == 0) continue;
    by_axis += (by_axis.empty() ? "" : ", ") + std::string(axis_names[a]) + ": " +
               std::to_string(c.outside_by_axis[a]);
  }
  if (!by_axis.empty()) text += " (by the first axis that puts each outside: " + by_axis + ")";
  return text + ". Departures are relative to the table's largest |" + c.set +
         "| = " + general_number(c.reference, 7) + ".";
}

// The departures on the full input grid's plane normal to `normal` through the worst
// record: x-z (normal 1) or y-z (normal 0), z across; cells without a record blank.
PlaneValues departure_plane(const SourceComparison& c, const SourceTable& table, int normal) {
  const SourceRecord& worst = table.records[static_cast<std::size_t>(c.worst_record)];
  PlaneValues p;
  p.magnitude = true;
  p.across_axis = 2, p.up_axis = normal == 1 ? 0 : 1;
  p.across = table.full_nodes[2], p.up = table.full_nodes[p.up_axis];
  p.title = std::string("|map - table| / max |") + c.set + "|, " + (normal == 1 ? "x-z" : "y-z") +
            " plane at " + axis_names[normal] + " = " +
            general_number(normal == 1 ? worst.y : worst.x, 4) + " m";
  const std::size_t na = p.across.size(), nu = p.up.size();
  p.values.assign(na * nu, std::numeric_limits<double>::quiet_NaN());
  p.blank.assign(na * nu, true);
  for (std::size_t n = 0; n < table.records.size(); ++n) {
    const SourceRecord& r = table.records[n];
    const int a = r.node[2], u = r.node[p.up_axis];
    if (r.node[normal] != worst.node[normal] || a < 1 || u < 1 || a > int(na) || u > int(nu)) {
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(u - 1) * na + static_cast<std::size_t>(a - 1);
    p.values[at] = c.departure[n];
    p.blank[at] = false;
  }
  return p;
}

std::string departure_picture(const SourceComparison& c, const SourceTable& table) {
  if (c.worst_record < 0 || table.records.empty()) return "";
  const SourceRecord& worst = table.records[static_cast<std::size_t>(c.worst_record)];
  const std::string title = "Where the map departs from the table";
  Svg svg;
  open_document(svg, static_cast<int>(2 * plane_box_width), static_cast<int>(plane_box_height),
                title, Placement::in_page);
  draw_plane(svg, departure_plane(c, table, 1), 0, 0, Cells::raster);
  draw_plane(svg, departure_plane(c, table, 0), plane_box_width, 0, Cells::raster);
  svg.raw("</svg>\n");
  return html_figure(
      svg.take(),
      "The departure |map - table| of each record over the table's largest |" +
          std::string(1, c.set) +
          "|, on the planes of the full input grid through the worst "
          "record (line " +
          std::to_string(worst.line) + ", at " + place(worst.x, worst.y, worst.z) +
          " m). Blank where the plane holds no record, grey where a record lies outside the map.");
}

}  // namespace

Verdict source_verdict(const SourceComparison& c, double tolerance) {
  return {c.fault, departure_headline(c) + ": " + verdict_text(c, tolerance)};
}

std::string source_section(const SourceComparison& c, const SourceTable& table, double tolerance) {
  const Verdict verdict = source_verdict(c, tolerance);
  std::string body = html_verdict(verdict.fault, verdict.text);
  body += html_paragraph(counts_text(c, table));
  if (!c.kept_planes.empty()) {
    body += html_paragraph("The map keeps " + c.kept_planes +
                           ": the records on its kept side are compared.");
  }
  for (const std::string& note : c.notes) body += html_paragraph("Note: " + note + ".", "note");
  for (const std::string& warning : table.warnings) {
    body += html_paragraph("korvane warns: " + warning, "note");
  }
  if (c.all.records > 0) {
    body += departures_table("At every record inside the map", c.all, c.set);
  }
  if (c.on_nodes.records > 0 && c.on_nodes.records != c.all.records) {
    body += departures_table(
        "At the " + std::to_string(c.on_nodes.records) + " records on the map's nodes", c.on_nodes,
        c.set);
  }
  body += departure_picture(c, table);
  return html_section("source", "Source: the map against the solver's table", body);
}

}  // namespace korvane::inspect
