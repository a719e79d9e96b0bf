// The report of a preparation built from its plan: what the renderings of report_render.cpp
// say, decided once.
#include "prepare/report.h"

#include <filesystem>

#include "fieldfile/field_file.h"

namespace korvane::prepare {
namespace {

// The command that measures what korvane's interpolation costs on this table.
std::string measure_command(const Plan& p) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(p.control_path).parent_path();
  return "korvane-inspect " +
         (folder / field_file_name(p.control.nfile)).lexically_normal().string() + " --source " +
         fs::path(p.control_path).lexically_normal().string();
}

ExportFacts export_facts(const ExportScan& s) {
  ExportFacts e;
  e.header_lines = s.header_lines;
  e.header = s.header;
  e.columns = s.layout.values;
  e.layout = describe_layout(s.layout);
  e.ignored = s.layout.ignored;
  return e;
}

MeshFacts mesh_facts(const Plan& p) {
  const ExportScan& s = p.scan;
  MeshFacts m;
  m.records = s.records;
  for (int role = 0; role < 3; ++role) m.order[role] = s.order[role];
  m.length_unit = p.length.name;
  m.repeat_line = s.repeat_line;
  for (int a = 0; a < 3; ++a) {
    MeshAxisFacts& axis = m.axis[a];
    axis.mesh = s.axis[a];
    axis.region = p.region[a];
    axis.code = p.control.isym[a];
    if (p.region[a] == Region::half) {
      axis.plane = PlaneFacts{p.normal_on_plane[a], p.tangential_on_plane[a]};
    }
    const auto& parity = p.parity[static_cast<std::size_t>(a)];
    if (!parity[0].empty()) axis.parity = parity;
  }
  return m;
}

GridFacts grid_facts(const Plan& p) {
  const ControlDraft& c = p.control;
  GridFacts g;
  g.direct = p.grid.direct;
  g.own_nodes = true;
  for (int a = 0; a < 3; ++a) {
    g.axis[a].draft = p.grid.axis[a];
    g.axis[a].code = c.isym[a];
    g.axis[a].unfolded = c.isym[a] != 0 && c.isym[a] != c.ksym[a];
    g.own_nodes = g.own_nodes && p.grid.axis[a].own;
  }
  if (!g.direct) g.measure = measure_command(p);
  return g;
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

Report build_report(const Plan& p) {
  Report r;
  r.exported = export_facts(p.scan);
  r.field = FieldFacts{p.field.kind, p.field.name, p.part, p.largest};
  r.mesh = mesh_facts(p);
  r.control = p.control;
  r.grid = grid_facts(p);
  r.departure = p.figure;
  for (int a = 0; a < 3; ++a) {
    r.table.every[a] = p.every[a];
    r.table.nodes[a] = p.table_counts[a];
  }
  r.notes = p.notes;
  r.warnings = p.warnings;
  r.table_path = p.table_path;
  r.control_path = p.control_path;
  return r;
}

std::string report_text(const Plan& plan) { return render_text(build_report(plan)); }

std::string report_json(const Plan& plan) { return render_json(build_report(plan)); }

}  // namespace korvane::prepare
