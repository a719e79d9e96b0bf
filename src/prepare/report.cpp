// The report of a preparation, as text for a person and as JSON for a script; both say the
// same things.
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "prepare/prepare.h"
#include "textio/errors.h"

namespace korvane::prepare {
namespace {

const char* region_name(Region region) {
  switch (region) {
    case Region::whole:
      return "whole";
    case Region::half:
      return "half";
    case Region::offset:
      return "off 0";
  }
  return "?";
}

const char* part_name(Part part) { return part == Part::real ? "real" : "imaginary"; }

// Whether the output's nodes along axis `a` are the table's, and which.
std::string describe_nodes(const Plan& p, int a) {
  const AxisDraft& d = p.grid.axis[a];
  const ControlDraft& c = p.control;
  const bool unfolded = c.isym[a] != 0 && c.isym[a] != c.ksym[a];
  std::string text = std::to_string(d.count) + " nodes, ";
  if (!d.own) return text + "not the table's own (" + d.why + "): korvane interpolates";
  const std::string nodes =
      std::to_string(d.table_nodes) + " nodes" + (unfolded ? " after unfolding" : "");
  const int last = d.from + (d.count - 1) * d.stride;
  const bool all = d.from == 1 && last == d.table_nodes;
  text += "the table's own: ";
  if (d.stride > 1) text += "every " + ordinal(d.stride) + " of ";
  if (all) return text + (d.stride > 1 ? "its " : "all its ") + nodes;
  return text + "nodes " + std::to_string(d.from) + " to " + std::to_string(last) + " of its " +
         nodes;
}

bool all_own(const Plan& p) {
  for (const AxisDraft& d : p.grid.axis) {
    if (!d.own) return false;
  }
  return true;
}

// The command that measures what korvane's interpolation costs on this table.
std::string measure_command(const Plan& p) {
  namespace fs = std::filesystem;
  char file[16];
  std::snprintf(file, sizeof file, "eh_EMS.#%02d", p.control.nfile);
  const fs::path folder = fs::path(p.control_path).parent_path();
  return "korvane-inspect " + (folder / file).lexically_normal().string() + " --source " +
         fs::path(p.control_path).lexically_normal().string();
}

}  // namespace

std::string ordinal(int n) {
  const int tens = n % 100;
  const char* suffix = tens >= 11 && tens <= 13 ? "th"
                       : n % 10 == 1            ? "st"
                       : n % 10 == 2            ? "nd"
                       : n % 10 == 3            ? "rd"
                                                : "th";
  return std::to_string(n) + suffix;
}

std::string report_text(const Plan& p) {
  const ExportScan& s = p.scan;
  const ControlDraft& c = p.control;
  std::string t;
  auto line = [&t](const std::string& text) { t += text + "\n"; };
  line("export:   " + std::to_string(s.header_lines) + " header lines, " +
       describe_layout(s.layout));
  if (!s.layout.ignored.empty()) {
    std::string names;
    for (const std::string& name : s.layout.ignored) {
      names += ' ';
      names += quoted_token(name);
    }
    line("ignored: " + names);
  }
  line("field:    " + std::string(field_letter(p.field.kind)) + " in " + p.field.name + ", " +
       part_name(p.part) + " parts written");
  line("mesh:     " + std::to_string(s.records) + " records, " + describe_order(s.order) +
       ", coordinates in " + p.length.name);
  for (int a = 0; a < 3; ++a) {
    const AxisMesh& m = s.axis[a];
    std::string text = "  ";
    text += axis_names[a];
    text += ": " + std::to_string(m.count) + " nodes from " + figure(m.lo) + " to " + figure(m.hi) +
            ", step " + figure(m.step) + " (deviation " + figure(m.deviation * 100) +
            " % of a step), " + region_name(p.region[a]);
    if (p.region[a] == Region::half) {
      text += ", code " + std::to_string(c.isym[a]) + " (on the plane: normal " +
              figure(p.normal_on_plane[a]) + ", tangential " + figure(p.tangential_on_plane[a]) +
              ", largest anywhere " + figure(p.largest) + ")";
    }
    const auto& parity = p.parity[static_cast<std::size_t>(a)];
    if (!parity[0].empty()) {
      text += ", parity about 0:";
      for (int k = 0; k < 3; ++k) {
        text += ' ';
        text += field_letter(p.field.kind);
        text += axis_names[k];
        text += ' ';
        text += parity[static_cast<std::size_t>(k)];
      }
    }
    line(text);
  }
  line("control:  ifield " + std::to_string(c.ifield) + ", isym " + std::to_string(c.isym[0]) +
       " " + std::to_string(c.isym[1]) + " " + std::to_string(c.isym[2]) + ", ksym " +
       std::to_string(c.ksym[0]) + " " + std::to_string(c.ksym[1]) + " " +
       std::to_string(c.ksym[2]) + ", d_elm " + figure(c.d_elm) + " m, aper " + figure(c.aper) +
       " m, fscale " + figure(c.fscale) + ", cscale " + figure(c.cscale) + ", nodes " +
       std::to_string(c.counts[0]) + " x " + std::to_string(c.counts[1]) + " x " +
       std::to_string(c.counts[2]));
  for (int a = 0; a < 3; ++a) {
    line("grid:     " + std::string(axis_names[a]) + ": " + describe_nodes(p, a));
  }
  if (p.grid.direct) {
    line("grid:     korvane copies the field node for node (the same grid)");
  } else if (all_own(p)) {
    // The 19-point formula gives a node's own value except where the node is first or
    // last along two or three axes of korvane's input grid at once.
    line(
        "grid:     korvane interpolates on the table's own nodes, which gives each node its "
        "value except on the edges of the grid (first or last along two axes at once); " +
        measure_command(p) + " measures what that costs");
    // Unfolding alone forces the interpolation when the box is the table's: keeping the
    // planes lets korvane copy it, and the beam code mirrors the field itself.
    bool unfolds = false;
    for (int a = 0; a < 3; ++a) unfolds = unfolds || (c.isym[a] != 0 && c.ksym[a] == 0);
    if (unfolds) {
      line("grid:     with --keep-symmetry the output keeps the table's planes instead, "
           "and korvane copies the table's own nodes where its box allows");
    }
  } else {
    line("grid:     " + measure_command(p) + " measures what the interpolation costs");
  }
  for (const std::string& note : p.notes) line("note:     " + note);
  for (const std::string& warning : p.warnings) line("warning:  " + warning);
  line("wrote:    " + p.table_path + " and " + p.control_path);
  return t;
}

std::string report_json(const Plan& p) {
  const ExportScan& s = p.scan;
  const ControlDraft& c = p.control;
  nlohmann::json j;
  j["export"] = {{"header_lines", s.header_lines},
                 {"header", printable(s.header)},
                 {"columns", s.layout.values},
                 {"layout", describe_layout(s.layout)},
                 {"ignored_columns", s.layout.ignored}};
  j["field"] = {{"kind", field_letter(p.field.kind)},
                {"unit", p.field.name},
                {"part", part_name(p.part)},
                {"largest", p.largest}};
  nlohmann::json axes = nlohmann::json::object();
  for (int a = 0; a < 3; ++a) {
    const AxisMesh& m = s.axis[a];
    nlohmann::json axis = {{"nodes", m.count},
                           {"from", m.lo},
                           {"to", m.hi},
                           {"step", m.step},
                           {"deviation", m.deviation},
                           {"region", region_name(p.region[a])},
                           {"code", c.isym[a]}};
    if (p.region[a] == Region::half) {
      axis["normal_on_plane"] = p.normal_on_plane[a];
      axis["tangential_on_plane"] = p.tangential_on_plane[a];
    }
    const auto& parity = p.parity[static_cast<std::size_t>(a)];
    if (!parity[0].empty()) axis["parity"] = {parity[0], parity[1], parity[2]};
    axes[axis_names[a]] = axis;
  }
  std::string order;
  for (int role = 0; role < 3; ++role) order += axis_names[s.order[role]];
  j["mesh"] = {{"records", s.records},
               {"order", order},
               {"length_unit", p.length.name},
               {"axes", axes},
               {"dropped_repeat_line", s.repeat_line}};
  j["control"] = {{"ifield", c.ifield},
                  {"isym", {c.isym[0], c.isym[1], c.isym[2]}},
                  {"nfile", c.nfile},
                  {"ifmt", c.ifmt},
                  {"ksym", {c.ksym[0], c.ksym[1], c.ksym[2]}},
                  {"d_elm", c.d_elm},
                  {"aper", c.aper},
                  {"fscale", c.fscale},
                  {"cscale", c.cscale},
                  {"nodes", {c.counts[0], c.counts[1], c.counts[2]}}};
  nlohmann::json grid_axes = nlohmann::json::object();
  for (int a = 0; a < 3; ++a) {
    const AxisDraft& d = p.grid.axis[a];
    nlohmann::json axis = {{"nodes", d.count}, {"own", d.own}, {"table_nodes", d.table_nodes}};
    if (d.own) {
      axis["from"] = d.from;
      axis["stride"] = d.stride;
    } else {
      axis["why"] = d.why;
    }
    grid_axes[axis_names[a]] = axis;
  }
  j["grid"] = {{"transfer", p.grid.direct ? "direct" : "interpolation"},
               {"own_nodes", all_own(p)},
               {"axes", grid_axes},
               {"measure", p.grid.direct ? nlohmann::json() : nlohmann::json(measure_command(p))}};
  j["table"] = {{"every", {p.every[0], p.every[1], p.every[2]}},
                {"nodes", {p.table_counts[0], p.table_counts[1], p.table_counts[2]}}};
  j["notes"] = p.notes;
  j["warnings"] = p.warnings;
  j["files"] = {{"table", p.table_path}, {"control", p.control_path}};
  // Names and headers may hold any bytes; replace what is not UTF-8 rather than fail.
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace korvane::prepare
