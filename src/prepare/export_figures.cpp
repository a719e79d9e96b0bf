// The figures of the field summed in the first pass over an export.
#include "prepare/export_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace korvane::prepare {
namespace {

// A weight of +1 or -1, drawn at random for each position of a node up to its mirror
// image in the plane `axis` = 0: it depends on |c[axis]| and the other two coordinates, as
// read. Its mean is 0, so a sum that does not cancel by parity is a random walk of the
// size of the root sum of squares of the part that breaks the parity, whatever the
// component's parity about the other planes; a weight of mean 1 would let a component odd
// about x cancel in both sums about z.
double mirror_weight(const double c[3], int axis) {
  auto bits = [](double v) {
    std::uint64_t u;
    v += 0.0;  // -0 and +0 are one position
    std::memcpy(&u, &v, sizeof u);
    return u;
  };
  // splitmix64's finaliser, which carries every input bit into the high bits kept below.
  auto mix = [](std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  std::uint64_t u = mix(bits(std::abs(c[axis])));
  u = mix(u ^ bits(c[(axis + 1) % 3]));
  u = mix(u ^ bits(c[(axis + 2) % 3]));
  return (u >> 63) != 0 ? 1.0 : -1.0;
}

}  // namespace

unsigned char mirror_weights(const double c[3]) {
  unsigned char weights = 0;
  for (int a = 0; a < 3; ++a) {
    if (mirror_weight(c, a) > 0) weights |= static_cast<unsigned char>(1 << a);
  }
  return weights;
}

void add_to_figures(ExportScan& scan, const double v[9], unsigned char weights, const int index[3],
                    int parts) {
  double weight[3], signed_weight[3];
  for (int a = 0; a < 3; ++a) {
    weight[a] = (weights >> a & 1) != 0 ? 1.0 : -1.0;
    signed_weight[a] = v[a] > 0 ? weight[a] : v[a] < 0 ? -weight[a] : 0.0;
  }
  for (int part = 0; part < parts; ++part) {
    const double* f = v + 3 + 3 * part;
    for (int a = 0; a < 3; ++a) {
      for (int k = 0; k < 3; ++k) {
        scan.odd_sum[part][a][k] += weight[a] * f[k];
        scan.even_sum[part][a][k] += signed_weight[a] * f[k];
      }
    }
    for (int k = 0; k < 3; ++k) {
      const double size = std::abs(f[k]);
      scan.largest[part][k] = std::max(scan.largest[part][k], size);
      for (int a = 0; a < 3; ++a) {
        if (index[a] == 0) {
          scan.largest_on_plane[a][part][k] = std::max(scan.largest_on_plane[a][part][k], size);
        }
      }
    }
  }
}

}  // namespace korvane::prepare
