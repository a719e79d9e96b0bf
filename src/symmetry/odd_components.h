// Which field components a symmetry plane makes odd: the one rule that the unfolding, the
// field-file checks and korvane-prepare's parity detection all follow. Includes nothing.
#pragma once

namespace korvane {

// For the plane normal to `axis` (0 = x, 1 = y, 2 = z) with symmetry code `code`: code 1
// flips the component along the axis (component == axis), code 2 the two others; code 0,
// or any other code, flips none.
constexpr bool is_odd(int code, int axis, int component) {
  if (code == 1) return component == axis;
  if (code == 2) return component != axis;
  return false;
}

}  // namespace korvane
