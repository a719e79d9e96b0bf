#include <cmath>

#include "regrid/regrid.h"
#include "textio/errors.h"

namespace korvane {
namespace {

// Index of the stencil's centre along one axis: the node nearest to the point (the upper
// one at a tie), moved inward at the two ends so both neighbours exist. The truncation is
// done in double so that no index is ever converted from a value out of int's range.
int centre_index(double offset_from_first, double step, int count) {
  const double t = std::trunc((offset_from_first - step / 2.0) / step) + 2.0;
  if (!(t >= 2.0)) return 2;
  if (t >= static_cast<double>(count)) return count - 1;
  return static_cast<int>(t);
}

}  // namespace

void check_interpolation_grid(const FieldStore& s) {
  if (s.Nix < 3 || s.Niy < 3 || s.Niz < 3) {
    throw FatalStop(" Input grid needs at least 3 nodes along each axis to interpolate ");
  }
  if (!(s.Xi(2) - s.Xi(1) > 0) || !(s.Yi(2) - s.Yi(1) > 0) || !(s.Zi(2) - s.Zi(1) > 0)) {
    throw FatalStop(" Input grid coordinates must increase along each axis ");
  }
}

namespace {

// Where a coordinate falls along one axis of the full input grid: whether it lies within
// the grid (bounds inclusive; a coordinate that is not a number does not), the stencil's
// centre node and the offset from it in units of the step.
struct AxisPlace {
  bool inside = false;
  int centre = 0;
  double offset = 0.0;
};

// How far past an end node of the input grid, in steps of that axis, an output node still
// lies on it. The output's layout arithmetic lays the same box out with another count, and
// its last node can land a rounding step past the input's (0.014 as 24 steps of 0.028 / 24
// from -0.014 is 0.014000000000000004): left outside, that whole face of the map would read
// zero.
inline constexpr double end_node_reach = 1e-9;

template <int N>
AxisPlace place_on_axis(const Axis<N>& nodes, int count, double o) {
  AxisPlace place;
  if (count >= 2) {
    const double reach = end_node_reach * std::fabs(nodes(2) - nodes(1));
    if (o < nodes(1) && nodes(1) - o <= reach) o = nodes(1);
    if (o > nodes(count) && o - nodes(count) <= reach) o = nodes(count);
  }
  if (!(nodes(1) <= o && o <= nodes(count))) return place;
  const double h = nodes(2) - nodes(1);
  place.inside = true;
  place.centre = centre_index(o - nodes(1), h, count);
  place.offset = (o - nodes(place.centre)) / h;
  return place;
}

// The 19-node sum for the six arrays at one point, with weights from the offsets p, q, r.
void blend(const FieldStore& s, const AxisPlace& x, const AxisPlace& y, const AxisPlace& z,
           double fe[3], double fh[3]) {
  const int ic = x.centre, jc = y.centre, kc = z.centre;
  const int im = ic - 1, ip = ic + 1;
  const int jm = jc - 1, jp = jc + 1;
  const int km = kc - 1, kp = kc + 1;
  const double p = x.offset, q = y.offset, r = z.offset;
  const double pp = p * p, qq = q * q, rr = r * r;

  const double w0 = 1.0 - pp - qq - rr;
  const double wxp = (p + pp) / 2.0, wxm = (pp - p) / 2.0;
  const double wyp = (q + qq) / 2.0, wym = (qq - q) / 2.0;
  const double wzp = (r + rr) / 2.0, wzm = (rr - r) / 2.0;
  const double wxy = p * q / 4.0, wxz = p * r / 4.0, wyz = q * r / 4.0;

  // The 19 nodes as offsets into the arrays, shared by the six components.
  using F = InputField;
  const std::size_t c = F::offset(ic, jc, kc);
  const std::size_t xp = F::offset(ip, jc, kc), xm = F::offset(im, jc, kc);
  const std::size_t yp = F::offset(ic, jp, kc), ym = F::offset(ic, jm, kc);
  const std::size_t zp = F::offset(ic, jc, kp), zm = F::offset(ic, jc, km);
  const std::size_t xpyp = F::offset(ip, jp, kc), xmym = F::offset(im, jm, kc);
  const std::size_t xmyp = F::offset(im, jp, kc), xpym = F::offset(ip, jm, kc);
  const std::size_t xpzp = F::offset(ip, jc, kp), xmzm = F::offset(im, jc, km);
  const std::size_t xmzp = F::offset(im, jc, kp), xpzm = F::offset(ip, jc, km);
  const std::size_t ypzp = F::offset(ic, jp, kp), ymzm = F::offset(ic, jm, km);
  const std::size_t ymzp = F::offset(ic, jm, kp), ypzm = F::offset(ic, jp, km);

  // Summed in one fixed order so the result is the same bit for bit everywhere.
  auto at = [&](const F& f) {
    const double* v = f.values.data();
    double sum = w0 * v[c] + wxp * v[xp];
    sum = sum + wxm * v[xm];
    sum = sum + wyp * v[yp];
    sum = sum + wym * v[ym];
    sum = sum + wzp * v[zp];
    sum = sum + wzm * v[zm];
    sum = sum + wxy * (v[xpyp] + v[xmym] - v[xmyp] - v[xpym]);
    sum = sum + wxz * (v[xpzp] + v[xmzm] - v[xmzp] - v[xpzm]);
    sum = sum + wyz * (v[ypzp] + v[ymzm] - v[ymzp] - v[ypzm]);
    return sum;
  };
  fe[0] = at(s.ExFull);
  fe[1] = at(s.EyFull);
  fe[2] = at(s.EzFull);
  fh[0] = at(s.HxFull);
  fh[1] = at(s.HyFull);
  fh[2] = at(s.HzFull);
}

}  // namespace

void interp3d(const FieldStore& s, double xo, double yo, double zo, double fe[3],
              double fh[3]) {
  for (int c = 0; c < 3; ++c) fe[c] = 0.0, fh[c] = 0.0;
  const AxisPlace x = place_on_axis(s.Xi, s.Nix, xo);
  if (!x.inside) return;
  const AxisPlace y = place_on_axis(s.Yi, s.Niy, yo);
  if (!y.inside) return;
  const AxisPlace z = place_on_axis(s.Zi, s.Niz, zo);
  if (!z.inside) return;
  blend(s, x, y, z, fe, fh);
}

void interpolate_field(FieldStore& s, TaskPool* team) {
  // Each output coordinate falls at the same place of its axis for every node that shares
  // it, so the places are found once per axis; the sums are those of interp3d.
  AxisPlace along_x[Noxmax], along_y[Noymax], along_z[Nozmax];
  for (int i = 1; i <= s.Nox; ++i) along_x[i - 1] = place_on_axis(s.Xi, s.Nix, s.xmws(i));
  for (int j = 1; j <= s.Noy; ++j) along_y[j - 1] = place_on_axis(s.Yi, s.Niy, s.ymws(j));
  for (int k = 1; k <= s.Noz; ++k) along_z[k - 1] = place_on_axis(s.Zi, s.Niz, s.zmws(k));
  // Every node's values depend on its own coordinates alone, so the nodes may be visited
  // in any order and z planes may go to different threads: z outermost keeps the three
  // input planes a stencil reads in the cache for a whole output plane.
  run_spans(team, 1, s.Noz, [&](int first, int last) {
    for (int k = first; k <= last; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) {
          const AxisPlace& x = along_x[i - 1];
          const AxisPlace& y = along_y[j - 1];
          const AxisPlace& z = along_z[k - 1];
          double fe[3] = {0.0, 0.0, 0.0}, fh[3] = {0.0, 0.0, 0.0};
          if (x.inside && y.inside && z.inside) blend(s, x, y, z, fe, fh);
          s.ExOut(i, j, k) = fe[0];
          s.EyOut(i, j, k) = fe[1];
          s.EzOut(i, j, k) = fe[2];
          s.HxOut(i, j, k) = fh[0];
          s.HyOut(i, j, k) = fh[1];
          s.HzOut(i, j, k) = fh[2];
        }
      }
    }
  });
}

}  // namespace korvane
