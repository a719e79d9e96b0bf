// The load's record placement: which exported-region node each record of the table fills,
// and the regular mesh its coordinates should lie on. Shared by the sequential load and the
// one that parses on several threads.
#pragma once

#include <cstdint>
#include <string>

#include "store/field_store.h"
#include "textio/errors.h"

namespace korvane {

// Where each record of the load goes: the exported-region node of each record in the
// table's loop order, and the regular mesh its coordinates should lie on.
struct RecordPlacement {
  int axes[3];                 // axes from fastest to slowest
  std::int32_t counts[3];      // Nix, Niy, Niz
  double mesh_step[3];
  int values_per_record;
  int first_component;         // index of the first field value in a record
  bool has_coordinates;
  std::int64_t records;        // Nix * Niy * Niz

  // False for a loop order that is none of the six. The first takes the counts of the grid
  // the scan found, the second the counts given.
  bool set_up(const FieldStore& s);
  bool set_up(const FieldStore& s, const std::int32_t node_counts[3]);
  // The node (from 1) of record `record` (from 1).
  void node_of(std::int64_t record, int node[3]) const;
  // Steps node on to the next record's node.
  void advance(int node[3]) const;
  void place(FieldStore& s, const int node[3], const double* values) const;
  // The first axis along which the record's coordinates lie off the mesh by more than 1 %
  // of a step, or -1.
  int off_mesh_axis(const FieldStore& s, const int node[3], const double* values) const;
  // Whether `found` (a coordinate times cscale) lies within 1 % of a step of node `node`
  // of axis `axis`.
  bool on_mesh(const FieldStore& s, int axis, int node, double found) const;
};

// The warning for a record off the regular mesh, at line `line` of the table `name`.
void warn_off_mesh(const FieldStore& s, const RecordPlacement& placement, Warnings& warnings,
                   const std::string& name, long line, int axis, const int node[3],
                   const double* values);

}  // namespace korvane
