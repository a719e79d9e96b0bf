#include "inspect/render/regular_mesh.h"

#include <cmath>
#include <stdexcept>

#include "textio/format.h"

namespace korvane::inspect {

void require_even_spacing(const FieldMap& s, int axis, const std::string& where) {
  const int count = s.count(axis);
  if (count < 1) throw std::runtime_error(where + ": no nodes along " + axis_names[axis]);
  const double first = s.node(axis, 1), d = s.step(axis);
  const double tolerance = 1e-9 * std::fabs(s.node(axis, count) - first);
  for (int n = 1; n <= count; ++n) {
    const double off = std::fabs(s.node(axis, n) - (first + (n - 1) * d));
    if (!(off <= tolerance)) {
      throw std::runtime_error(where + ": the " + axis_names[axis] +
                               " nodes are not evenly spaced (node " + std::to_string(n) + " at " +
                               exact_number(s.node(axis, n)) +
                               " m), which a regular mesh cannot hold");
    }
  }
}

}  // namespace korvane::inspect
