#include "inspect/analysis/unfolded_map.h"

#include <cstdlib>

#include "symmetry/odd_components.h"

namespace korvane::inspect {

UnfoldedMap::UnfoldedMap(const FieldMap& map, std::array<bool, 3> axes) : map_(map) {
  for (int a = 0; a < 3; ++a) {
    Axis& axis = axes_[a];
    const int stored = map.count(a);
    const int code = map.ksym(a);
    if (!axes[a] || (code != 1 && code != 2) || stored < 1) {
      for (int n = 1; n <= stored; ++n) {
        axis.stored.push_back(n);
        axis.mirrored.push_back(false);
        axis.nodes.push_back(map.node(a, n));
      }
      continue;
    }
    axis.code = code;
    for (int n = 1; n <= 2 * stored - 1; ++n) {
      const int from = std::abs(n - stored) + 1;
      const bool mirrored = n < stored;
      axis.stored.push_back(from);
      axis.mirrored.push_back(mirrored);
      axis.nodes.push_back(mirrored ? 2.0 * map.node(a, 1) - map.node(a, from) : map.node(a, from));
    }
  }
}

double UnfoldedMap::step(int axis) const {
  const int n = count(axis);
  return n < 2 ? 0.0 : node_step(node(axis, 1), node(axis, n), n);
}

double UnfoldedMap::value(const OutputField& field, int component, int i, int j, int k) const {
  const int at[3] = {i, j, k};
  double v = field(stored(0, i), stored(1, j), stored(2, k));
  for (int a = 0; a < 3; ++a) {
    if (axes_[a].mirrored[index(at[a])] && is_odd(axes_[a].code, a, component)) v = -v;
  }
  return v;
}

std::string UnfoldedMap::planes() const {
  std::string text;
  for (int a = 0; a < 3; ++a) {
    if (axes_[a].code == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::string(axis_names[a]) + " = 0 (ksym_" + axis_names[a] + " = " +
            std::to_string(axes_[a].code) + ")";
  }
  return text;
}

}  // namespace korvane::inspect
