#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "import/parallel_load.h"
#include "import/record_placement.h"
#include "import/table_import.h"
#include "textio/group_reader.h"

namespace korvane {
namespace {

// Axes (0 = x, 1 = y, 2 = z) from fastest to slowest for a loop order code; false for a
// code that is none of the six orders.
bool loop_axes(std::int32_t iord, int axes[3]) {
  switch (iord) {
    case 123: axes[0] = 0, axes[1] = 1, axes[2] = 2; return true;
    case 132: axes[0] = 0, axes[1] = 2, axes[2] = 1; return true;
    case 213: axes[0] = 1, axes[1] = 0, axes[2] = 2; return true;
    case 231: axes[0] = 2, axes[1] = 0, axes[2] = 1; return true;
    case 312: axes[0] = 1, axes[1] = 2, axes[2] = 0; return true;
    case 321: axes[0] = 2, axes[1] = 1, axes[2] = 0; return true;
    default: return false;
  }
}

}  // namespace

void shift_z(FieldStore& s, ListWriter& log) {
  if (shift_z_range(s.Zimin, s.Zimax)) log.record(" Shifted Z: Zmin, Zmax= ", s.Zimin, s.Zimax);
}

bool RecordPlacement::set_up(const FieldStore& s) {
  const std::int32_t grid[3] = {s.Nix, s.Niy, s.Niz};
  return set_up(s, grid);
}

bool RecordPlacement::set_up(const FieldStore& s, const std::int32_t node_counts[3]) {
  // Records without coordinates run z fastest, then y, x slowest.
  if (!loop_axes(s.ireim == 3 ? 321 : s.iord, axes)) return false;
  values_per_record = s.ireim == 3 ? 3 : s.ireim == 2 ? 6 : 9;
  first_component = s.ireim == 3 ? 0 : 3;
  has_coordinates = s.ireim != 3;
  std::copy(node_counts, node_counts + 3, counts);
  records = static_cast<std::int64_t>(counts[0]) * counts[1] * static_cast<std::int64_t>(counts[2]);
  for (int a = 0; a < 3; ++a) {
    mesh_step[a] = counts[a] > 1 ? node_step(s.mesh_lo[a], s.mesh_hi[a], counts[a]) : 0.0;
  }
  return true;
}

void RecordPlacement::node_of(std::int64_t record, int node[3]) const {
  const std::int64_t index = record - 1;
  const std::int64_t rows = index / counts[axes[0]];
  node[axes[0]] = static_cast<int>(index % counts[axes[0]]) + 1;
  node[axes[1]] = static_cast<int>(rows % counts[axes[1]]) + 1;
  node[axes[2]] = static_cast<int>(rows / counts[axes[1]]) + 1;
}

void RecordPlacement::advance(int node[3]) const {
  if (++node[axes[0]] > counts[axes[0]]) {
    node[axes[0]] = 1;
    if (++node[axes[1]] > counts[axes[1]]) {
      node[axes[1]] = 1;
      ++node[axes[2]];
    }
  }
}

void RecordPlacement::place(FieldStore& s, const int node[3], const double* values) const {
  const int i = node[0], j = node[1], k = node[2];
  s.ExIn(i, j, k) = values[first_component];
  s.EyIn(i, j, k) = values[first_component + 1];
  s.EzIn(i, j, k) = values[first_component + 2];
}

int RecordPlacement::off_mesh_axis(const FieldStore& s, const int node[3],
                                   const double* values) const {
  if (!has_coordinates) return -1;
  for (int a = 0; a < 3; ++a) {
    if (counts[a] < 2) continue;
    if (!on_mesh(s, a, node[a], values[a] * s.cscale)) return a;
  }
  return -1;
}

bool RecordPlacement::on_mesh(const FieldStore& s, int axis, int node, double found) const {
  const double expected = s.mesh_lo[axis] + (node - 1) * mesh_step[axis];
  return std::fabs(found - expected) <= irregular_step_fraction * std::fabs(mesh_step[axis]);
}

void warn_off_mesh(const FieldStore& s, const RecordPlacement& placement, Warnings& warnings,
                   const std::string& name, long line, int axis, const int node[3],
                   const double* values) {
  const double expected = s.mesh_lo[axis] + (node[axis] - 1) * placement.mesh_step[axis];
  const double found = values[axis] * s.cscale;
  char detail[160];
  std::snprintf(detail, sizeof detail,
                "%s = %.9g lies off the regular mesh (node %d at %.9g); the field is "
                "placed by record order",
                axis_names[axis], found, node[axis], expected);
  // The warning channel puts its own "korvane: warning: " before the text.
  warnings.warn(TextPlace{"", table_unit, name, line}.message(detail));
}

void fill_grid(FieldStore& s, const RunContext& run, const UsualRecords* ahead) {
  GroupReader in(run.program, table_unit, table_path(s, run));
  Warnings& warnings = run.warnings;
  RecordPlacement placement;
  // The scan only ever finds one of the six orders, so any other code is a fault of the
  // program, not of the table: an assertion that holds in release builds too.
  if (!placement.set_up(s)) {
    throw std::logic_error("fill_grid: loop order " + std::to_string(s.iord) +
                           " is none of the six");
  }
  const std::int64_t records = placement.records;
  bool warned = false;
  std::int64_t first = 1;
  if (ahead != nullptr && ahead->ready()) {
    first = ahead->finish(s, placement, in, warnings, warned);
  } else if (run.team != nullptr && run.team->threads() > 1) {
    UsualRecords usual;
    usual.read(s, placement, in.name(), *run.team, run.layout);
    first = usual.finish(s, placement, in, warnings, warned);
  }

  int node[3] = {1, 1, 1};
  if (first <= records) placement.node_of(first, node);
  double values[9];
  GroupFault fault;
  for (std::int64_t r = first; r <= records; ++r) {
    if (in.try_read_reals(values, placement.values_per_record, fault) !=
        GroupStatus::complete) {
      in.raise(fault, placement.values_per_record,
               "record " + std::to_string(r) + " of the " + std::to_string(records) +
                   " the input grid needs");
    }
    placement.place(s, node, values);

    // The field is placed by record order; a record off the regular mesh means that
    // order is not what the scan assumed, which the user must learn of.
    if (!warned) {
      const int axis = placement.off_mesh_axis(s, node, values);
      if (axis >= 0) {
        warn_off_mesh(s, placement, warnings, in.name(), in.line_number(), axis, node, values);
        warned = true;
      }
    }
    placement.advance(node);
  }
}

void scale_field(FieldStore& s, TaskPool* team) {
  if (s.ifield != 0 && s.ifield != 1) return;
  // Every node is scaled on its own, so z planes may go to different threads.
  run_spans(team, 1, s.Niz, [&](int first, int last) {
    for (int k = first; k <= last; ++k) {
      for (int j = 1; j <= s.Niy; ++j) {
        for (int i = 1; i <= s.Nix; ++i) {
          if (s.ifield == 0) {
            s.ExIn(i, j, k) = (s.fscale * s.ExIn(i, j, k)) * 0.01;
            s.EyIn(i, j, k) = (s.fscale * s.EyIn(i, j, k)) * 0.01;
            s.EzIn(i, j, k) = (s.fscale * s.EzIn(i, j, k)) * 0.01;
            s.HxIn(i, j, k) = 0.0;
            s.HyIn(i, j, k) = 0.0;
            s.HzIn(i, j, k) = 0.0;
          } else {
            s.HxIn(i, j, k) = s.fscale * s.ExIn(i, j, k);
            s.HyIn(i, j, k) = s.fscale * s.EyIn(i, j, k);
            s.HzIn(i, j, k) = s.fscale * s.EzIn(i, j, k);
            s.ExIn(i, j, k) = 0.0;
            s.EyIn(i, j, k) = 0.0;
            s.EzIn(i, j, k) = 0.0;
          }
        }
      }
    }
  });
}

void centre_z(FieldStore& s, ListWriter& log) {
  if (centre_z_range(s.Zimin, s.Zimax, s.z_half_kept != 0)) {
    log.record(" Centered Z: Zimin, Zimax= ", s.Zimin, s.Zimax);
  }
}

}  // namespace korvane
