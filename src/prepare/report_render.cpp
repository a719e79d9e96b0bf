// The two renderings of a preparation's report: lines of text for a person, one JSON object
// for a script. The report is a list of sections; each section renders its facts both ways,
// its text and its JSON side by side below, and both renderings walk the one list.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "prepare/report.h"
#include "textio/errors.h"

namespace korvane::prepare {
namespace {

using nlohmann::json;

void line(std::string& t, const std::string& text) { t += text + "\n"; }

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

json triple(const int values[3]) { return {values[0], values[1], values[2]}; }

// export: the lines before the records and the columns.

void export_text(const Report& r, std::string& t) {
  const ExportFacts& e = r.exported;
  line(t, "export:   " + std::to_string(e.header_lines) + " header lines, " + e.layout);
  if (e.ignored.empty()) return;
  std::string names;
  for (const std::string& name : e.ignored) {
    names += ' ';
    names += quoted_token(name);
  }
  line(t, "ignored: " + names);
}

json export_json(const Report& r) {
  const ExportFacts& e = r.exported;
  return {{"header_lines", e.header_lines},
          {"header", printable(e.header)},
          {"columns", e.columns},
          {"layout", e.layout},
          {"ignored_columns", e.ignored}};
}

// field: the field and the part written.

void field_text(const Report& r, std::string& t) {
  const FieldFacts& f = r.field;
  line(t, "field:    " + std::string(field_letter(f.kind)) + " in " + f.unit + ", " +
              part_name(f.part) + " parts written");
}

json field_json(const Report& r) {
  const FieldFacts& f = r.field;
  return {{"kind", field_letter(f.kind)},
          {"unit", f.unit},
          {"part", part_name(f.part)},
          {"largest", f.largest}};
}

// mesh: the records, their order, and each axis with what its plane at 0 shows.

std::string mesh_axis_text(const Report& r, int a) {
  const MeshAxisFacts& axis = r.mesh.axis[a];
  const AxisMesh& m = axis.mesh;
  std::string text = "  ";
  text += axis_names[a];
  text += ": " + std::to_string(m.count) + " nodes from " + figure(m.lo) + " to " + figure(m.hi) +
          ", step " + figure(m.step) + " (deviation " + figure(m.deviation * 100) +
          " % of a step), " + region_name(axis.region);
  if (axis.plane) {
    text += ", code " + std::to_string(axis.code) + " (on the plane: normal " +
            figure(axis.plane->normal) + ", tangential " + figure(axis.plane->tangential) +
            ", largest anywhere " + figure(r.field.largest) + ")";
  }
  if (axis.parity) {
    text += ", parity about 0:";
    for (int k = 0; k < 3; ++k) {
      text += ' ';
      text += field_letter(r.field.kind);
      text += axis_names[k];
      text += ' ';
      text += (*axis.parity)[static_cast<std::size_t>(k)];
    }
  }
  return text;
}

void mesh_text(const Report& r, std::string& t) {
  const MeshFacts& m = r.mesh;
  line(t, "mesh:     " + std::to_string(m.records) + " records, " + describe_order(m.order) +
              ", coordinates in " + m.length_unit);
  for (int a = 0; a < 3; ++a) line(t, mesh_axis_text(r, a));
}

json mesh_json(const Report& r) {
  const MeshFacts& m = r.mesh;
  json axes = json::object();
  for (int a = 0; a < 3; ++a) {
    const MeshAxisFacts& facts = m.axis[a];
    json axis = {{"nodes", facts.mesh.count},
                 {"from", facts.mesh.lo},
                 {"to", facts.mesh.hi},
                 {"step", facts.mesh.step},
                 {"deviation", facts.mesh.deviation},
                 {"region", region_name(facts.region)},
                 {"code", facts.code}};
    if (facts.plane) {
      axis["normal_on_plane"] = facts.plane->normal;
      axis["tangential_on_plane"] = facts.plane->tangential;
    }
    if (facts.parity) axis["parity"] = *facts.parity;
    axes[axis_names[a]] = axis;
  }
  std::string order;
  for (int role = 0; role < 3; ++role) order += axis_names[m.order[role]];
  return {{"records", m.records},
          {"order", order},
          {"length_unit", m.length_unit},
          {"axes", axes},
          {"dropped_repeat_line", m.repeat_line}};
}

// control: the values drafted into korvane.dat.

void control_text(const Report& r, std::string& t) {
  const ControlDraft& c = r.control;
  auto three = [](const std::int32_t v[3], const char* between) {
    return std::to_string(v[0]) + between + std::to_string(v[1]) + between + std::to_string(v[2]);
  };
  line(t, "control:  ifield " + std::to_string(c.ifield) + ", isym " + three(c.isym, " ") +
              ", ksym " + three(c.ksym, " ") + ", d_elm " + figure(c.d_elm) + " m, aper " +
              figure(c.aper) + " m, fscale " + figure(c.fscale) + ", cscale " + figure(c.cscale) +
              ", nodes " + three(c.counts, " x "));
}

json control_json(const Report& r) {
  const ControlDraft& c = r.control;
  return {{"ifield", c.ifield},       {"isym", triple(c.isym)}, {"nfile", c.nfile},
          {"ifmt", c.ifmt},           {"ksym", triple(c.ksym)}, {"d_elm", c.d_elm},
          {"aper", c.aper},           {"fscale", c.fscale},     {"cscale", c.cscale},
          {"nodes", triple(c.counts)}};
}

// grid: the output's nodes along each axis, and how korvane transfers the field.

// Whether the output's nodes along an axis are the table's, and which.
std::string describe_nodes(const GridAxisFacts& axis) {
  const AxisDraft& d = axis.draft;
  std::string text = std::to_string(d.count) + " nodes, ";
  if (!d.own) return text + "not the table's own (" + d.why + "): korvane interpolates";
  const std::string nodes =
      std::to_string(d.table_nodes) + " nodes" + (axis.unfolded ? " after unfolding" : "");
  const int last = d.from + (d.count - 1) * d.stride;
  const bool all = d.from == 1 && last == d.table_nodes;
  text += "the table's own: ";
  if (d.stride > 1) text += "every " + ordinal(d.stride) + " of ";
  if (all) return text + (d.stride > 1 ? "its " : "all its ") + nodes;
  return text + "nodes " + std::to_string(d.from) + " to " + std::to_string(last) + " of its " +
         nodes;
}

// What korvane does with the plane at 0 of an axis the table starts at.
std::string describe_plane(const GridAxisFacts& axis, int a) {
  if (axis.code == 0) return "";
  const std::string plane = std::string(axis_names[a]) + " = 0 (code " +
                            std::to_string(axis.code) + ")";
  if (axis.unfolded) return "; the plane " + plane + " unfolded, as --unfold asks";
  return "; the plane " + plane + " kept: the map starts there and the beam code mirrors it";
}

void grid_text(const Report& r, std::string& t) {
  const GridFacts& g = r.grid;
  for (int a = 0; a < 3; ++a) {
    line(t, "grid:     " + std::string(axis_names[a]) + ": " + describe_nodes(g.axis[a]) +
                describe_plane(g.axis[a], a));
  }
  if (g.direct) {
    line(t, "grid:     korvane copies the field node for node (the same grid)");
  } else if (g.own_nodes) {
    // The 19-point formula gives a node's own value except where the node is first or
    // last along two or three axes of korvane's input grid at once.
    line(t,
         "grid:     korvane interpolates on the table's own nodes, which gives each node its "
         "value except on the edges of the grid (first or last along two axes at once); " +
             *g.measure + " measures what that costs");
  } else {
    line(t, "grid:     " + *g.measure + " measures what the interpolation costs");
  }
}

json grid_json(const Report& r) {
  const GridFacts& g = r.grid;
  json axes = json::object();
  for (int a = 0; a < 3; ++a) {
    const AxisDraft& d = g.axis[a].draft;
    json axis = {{"nodes", d.count}, {"own", d.own}, {"table_nodes", d.table_nodes}};
    if (d.own) {
      axis["from"] = d.from;
      axis["stride"] = d.stride;
    } else {
      axis["why"] = d.why;
    }
    if (g.axis[a].code != 0) axis["plane"] = g.axis[a].unfolded ? "unfolded" : "kept";
    axes[axis_names[a]] = axis;
  }
  return {{"transfer", g.direct ? "direct" : "interpolation"},
          {"own_nodes", g.own_nodes},
          {"axes", axes},
          {"measure", g.measure ? json(*g.measure) : json()}};
}

// departure: how far the drafted map departs from the table, and the grids tried.

std::string outside_text(const DepartureFigure& f) {
  std::string text = std::to_string(f.outside) + " records outside the map";
  std::string by;
  for (int a = 0; a < 3; ++a) {
    if (f.outside_by_axis[a] == 0) continue;
    by += std::string(by.empty() ? " (beyond " : ", ") + axis_names[a] + ": " +
          std::to_string(f.outside_by_axis[a]);
  }
  return text + (by.empty() ? "" : by + ")");
}

void departure_text(const Report& r, std::string& t) {
  if (!r.departure) return;
  const DepartureFigure& f = *r.departure;
  // The figures as korvane-inspect --source prints them, so that the two can be compared
  // digit for digit.
  // A map that departs nowhere has no place to name.
  const std::string where = f.line == 0 ? "" : " at (" + general_number(f.at[0], 7) + ", " +
                                                   general_number(f.at[1], 7) + ", " +
                                                   general_number(f.at[2], 7) + ") m (line " +
                                                   std::to_string(f.line) + ")";
  line(t, "departure: max " + general_number(f.max, 3) + where + ", rms " +
              general_number(f.rms, 3) + ", " + outside_text(f));
  const std::size_t shown = std::min<std::size_t>(f.candidates.size(), 5);
  for (std::size_t n = 0; n < shown; ++n) {
    const GridCandidate& c = f.candidates[n];
    line(t, std::string(n == 0 ? "chosen:   " : "tried:    ") + describe_candidate(c) +
                ": max " + general_number(c.max, 3) + ", rms " + general_number(c.rms, 3));
  }
}

json departure_json(const Report& r) {
  if (!r.departure) return json();
  const DepartureFigure& f = *r.departure;
  json candidates = json::array();
  for (const GridCandidate& c : f.candidates) {
    candidates.push_back({{"nodes", triple(c.counts)},
                          {"strides", triple(c.stride)},
                          {"own", c.own},
                          {"max", c.max},
                          {"rms", c.rms}});
  }
  return {{"max", f.max},
          {"rms", f.rms},
          {"at", f.line == 0 ? json() : json{f.at[0], f.at[1], f.at[2]}},
          {"line", f.line == 0 ? json() : json(f.line)},
          {"records", f.records},
          {"outside", f.outside},
          {"outside_by_axis", {f.outside_by_axis[0], f.outside_by_axis[1], f.outside_by_axis[2]}},
          {"candidates", candidates}};
}

// table: what the table keeps of the export. The text tells it in the notes of --every.

void table_text(const Report&, std::string&) {}

json table_json(const Report& r) {
  return {{"every", triple(r.table.every)}, {"nodes", triple(r.table.nodes)}};
}

// notes, warnings: one line each.

void notes_text(const Report& r, std::string& t) {
  for (const std::string& note : r.notes) line(t, "note:     " + note);
}

json notes_json(const Report& r) { return r.notes; }

void warnings_text(const Report& r, std::string& t) {
  for (const std::string& warning : r.warnings) line(t, "warning:  " + warning);
}

json warnings_json(const Report& r) { return r.warnings; }

// files: what was written.

void files_text(const Report& r, std::string& t) {
  line(t, "wrote:    " + r.table_path + " and " + r.control_path);
}

json files_json(const Report& r) { return {{"table", r.table_path}, {"control", r.control_path}}; }

// One section of the report: its member of the JSON object, its lines of text. The text
// gives the sections in this order; the JSON object's members are sorted by name.
struct Section {
  const char* key;
  void (*text)(const Report&, std::string&);
  json (*to_json)(const Report&);
};

constexpr Section sections[] = {
    {"export", export_text, export_json}, {"field", field_text, field_json},
    {"mesh", mesh_text, mesh_json},       {"control", control_text, control_json},
    {"grid", grid_text, grid_json},       {"departure", departure_text, departure_json},
    {"table", table_text, table_json},
    {"notes", notes_text, notes_json},    {"warnings", warnings_text, warnings_json},
    {"files", files_text, files_json},
};

constexpr bool rendered_both_ways() {
  for (const Section& section : sections) {
    if (section.text == nullptr || section.to_json == nullptr) return false;
  }
  return true;
}
static_assert(rendered_both_ways(), "every section of the report has its text and its JSON");

}  // namespace

std::string render_text(const Report& report) {
  std::string t;
  for (const Section& section : sections) section.text(report, t);
  return t;
}

std::string render_json(const Report& report) {
  json j = json::object();
  for (const Section& section : sections) j[section.key] = section.to_json(report);
  // Names and headers may hold any bytes; replace what is not UTF-8 rather than fail.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace korvane::prepare
