// A map as the beam code reads it: unfolded over the symmetry planes it keeps.
//
// A file whose ksym_x, ksym_y or ksym_z is 1 or 2 holds one side of that plane, node 1
// on it. The beam code mirrors the map over node 1 of that axis, changing the sign of each
// component the plane's code makes odd (odd_components.h). Every reader of korvane-inspect
// that shows the whole element (the openPMD mesh, the on-axis profile, --compare against
// an unfolded map, the VTK and CSV exports, the pictures) takes the map through this one
// view; none mirrors on its own.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "fieldfile/field_map.h"

namespace korvane::inspect {

class UnfoldedMap {
 public:
  // Unfolds `map` over each kept plane (code 1 or 2) on the axes that `axes` marks (x, y,
  // z). The plane node is shared: N stored nodes unfold to 2N - 1, node n fed from stored
  // node |n - N| + 1, the nodes below N mirrored to 2 x(1) - x(stored). An axis not
  // unfolded keeps its stored nodes. Keeps a reference to `map`. Does not throw but for
  // std::bad_alloc.
  explicit UnfoldedMap(const FieldMap& map, std::array<bool, 3> axes = {true, true, true});

  const FieldMap& map() const { return map_; }
  // Nodes along `axis` (0 x, 1 y, 2 z), and node n's coordinate in m (n from 1).
  int count(int axis) const { return static_cast<int>(axes_[axis].stored.size()); }
  double node(int axis, int n) const { return axes_[axis].nodes[index(n)]; }
  // (last - first) / (count - 1); 0 for a single node.
  double step(int axis) const;
  // The code of the plane unfolded along `axis`, 0 when the axis is as stored.
  int code(int axis) const { return axes_[axis].code; }
  // The stored node (from 1) that feeds node n along `axis`.
  int stored(int axis, int n) const { return axes_[axis].stored[index(n)]; }
  // Component `component` (0 x, 1 y, 2 z) held in `field`, one of the map's arrays, at
  // node (i, j, k): the stored value, its sign changed once for each mirrored axis whose
  // code makes that component odd.
  double value(const OutputField& field, int component, int i, int j, int k) const;
  // "y = 0 (ksym_y = 1), z = 0 (ksym_z = 2)": the planes unfolded; empty when none.
  std::string planes() const;

 private:
  struct Axis {
    int code = 0;
    std::vector<int> stored;
    std::vector<bool> mirrored;
    std::vector<double> nodes;
  };
  static std::size_t index(int n) { return static_cast<std::size_t>(n - 1); }

  const FieldMap& map_;
  Axis axes_[3];
};

}  // namespace korvane::inspect
