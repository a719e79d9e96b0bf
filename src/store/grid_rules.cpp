#include "store/grid_rules.h"

#include <cmath>

namespace korvane {

void region_bounds(double aper, double d_elm, const std::int32_t codes[3], GridExtent& region) {
  for (int a = 0; a < 2; ++a) {
    region.lower[a] = codes[a] != 0 ? 0.0 : -aper;
    region.upper[a] = aper;
  }
  region.lower[2] = codes[2] != 0 ? 0.0 : -(d_elm / 2.0);
  region.upper[2] = d_elm / 2.0;
}

bool shift_z_range(double& lower, double& upper) {
  if (lower == 0.0) return false;
  upper = upper - lower;
  lower = 0.0;
  return true;
}

bool centre_z_range(double& lower, double& upper, bool z_half_kept) {
  // A kept z half lies where the output grid expects it, from z = 0 (the output's lower
  // bound is 0 when ksym_z is not 0); centring it would move the field by half its length.
  if (z_half_kept || lower == -upper) return false;
  upper = (upper - lower) / 2.0;
  lower = -upper;
  return true;
}

UnfoldedGrid unfold_grid(const GridExtent& exported, const std::int32_t isym[3],
                         const std::int32_t ksym[3]) {
  UnfoldedGrid u;
  u.grid = exported;
  // Judged on the codes as read: a kept plane's code is cleared just below.
  u.z_half_kept = isym[2] != 0 && isym[2] == ksym[2];
  for (int a = 0; a < 3; ++a) u.isym[a] = isym[a] == ksym[a] ? 0 : isym[a];
  u.symcode = 100 * u.isym[0] + 10 * u.isym[1] + u.isym[2];
  u.valid = u.symcode >= 0 && u.symcode <= 222 && u.symcode / 100 <= 2 &&
            u.symcode / 10 % 10 <= 2 && u.symcode % 10 <= 2;
  if (!u.valid) return u;
  for (int a = 0; a < 3; ++a) {
    if (u.isym[a] == 0) continue;
    // The plane node is shared: N exported nodes unfold to 2N - 1.
    u.grid.count[a] = 2 * exported.count[a] - 1;
    u.grid.lower[a] = -exported.upper[a];
  }
  return u;
}

bool same_grid(const GridExtent& input, const GridExtent& output, std::int32_t symcode) {
  auto close = [](double a, double b) { return std::fabs(a - b) < same_grid_tolerance; };
  return close(input.upper[2], output.upper[2]) && close(input.upper[1], output.upper[1]) &&
         close(input.upper[0], output.upper[0]) && close(input.lower[2], output.lower[2]) &&
         close(input.lower[1], output.lower[1]) && close(input.lower[0], output.lower[0]) &&
         output.count[2] == input.count[2] && output.count[1] == input.count[1] && symcode == 0 &&
         output.count[0] == input.count[0];
}

}  // namespace korvane
