// The mesh of a solver export, followed record by record in the file's order: the loop
// order and the node counts as the runs end, each record's node indices and each node's
// coordinates; and the rule for a node given twice. What is not a whole regular 3D mesh is
// refused (Refusal), located at the file and, where one line is at fault, at that line.
// Neither class reads the file: the first pass hands them the records in order.
#pragma once

#include <string>
#include <vector>

#include "prepare/export_scan.h"

namespace korvane::prepare {

// Follows the records through the mesh: finds the loop order and the counts as the runs
// end, gives each record its node indices, and keeps each node's coordinates.
class MeshWalk {
 public:
  // `file` names the export in messages.
  explicit MeshWalk(const std::string& file) : file_(file) {}

  // Takes the coordinates of the next record (on line `line`), in the export's length
  // unit; returns its node indices by axis, valid until the next call. Refuses a record
  // that leaves the first along two axes at once (a slanted cut), coordinates that
  // decrease, and an axis that changes before a whole run of the faster ones.
  const int* place(const double c[3], long line);

  // Records placed so far.
  long records() const { return records_; }

  // Checks that the records made a whole regular 3D mesh and fills the scan's order and
  // axes. Refuses a line or a plane, an incomplete mesh, fewer than 3 nodes along an axis,
  // and a coordinate farther than irregular_step_fraction of a step from its node.
  void finish(ExportScan& scan) const;

 private:
  // One node of an axis: the coordinate it was first given with, and the extremes of every
  // coordinate given for it since.
  struct Node {
    double first, low, high;
  };

  [[noreturn]] void refuse(long line, const std::string& what) const;
  bool discover(const double c[3], long line);
  void advance();
  long run_length(int role) const { return role == 0 ? run_[0] : run_[role] / run_[role - 1]; }
  void fill_axis(AxisMesh& m, int a) const;

  std::string file_;
  long records_ = 0;
  double first_[3] = {};
  int order_[3] = {0, 0, 0};
  int known_ = 0;         // axes of the loop order found so far
  long run_[2] = {0, 0};  // records in a run of the fastest axis, and in a plane
  int index_[3] = {0, 0, 0};
  std::vector<Node> nodes_[3];
};

// Some exports repeat their last record once at the end: that repeat is dropped. A record
// that repeats the node of the one before anywhere else is a fault.
class RepeatedNode {
 public:
  // `file` names the export in messages.
  explicit RepeatedNode(const std::string& file) : file_(file) {}

  // True when the record `v` (x y z, then six values) on line `line` is the exact repeat of
  // `previous` (and is to be dropped); refuses a node given twice with other values, and
  // any record after a repeat.
  bool dropped(const double v[9], long line, const double previous[9], bool has_previous);

  // The line of the repeat dropped (0: none).
  long repeat_line() const { return repeat_line_; }

 private:
  [[noreturn]] void refuse(long line, const std::string& what) const;

  std::string file_;
  long repeat_line_ = 0;
};

}  // namespace korvane::prepare
