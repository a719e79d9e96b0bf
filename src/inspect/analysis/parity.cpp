#include "inspect/analysis/parity.h"

#include <algorithm>
#include <cmath>

#include "symmetry/odd_components.h"

namespace korvane::inspect {
namespace {

struct Sums {
  double peak = 0.0, from_even = 0.0, from_odd = 0.0;
  double outer_peak = 0.0, outer_from_odd = 0.0;  // over the outer half of the axis
  double far_peak = 0.0, far_from_odd = 0.0;      // beyond the plane's band of nodes
  int at_odd[3] = {1, 1, 1};
};

// The nodes this many steps or fewer from the plane may take the plane node's kept value
// through the interpolation's stencil (on an output up to about twice as fine as the
// table): beyond them a wrong code leaves an exactly odd component.
constexpr double plane_band_steps = 3.0;

// Visits every mirrored pair of nodes about the plane normal to `axis`, once:
// f(n, m, outer, far) with n and m the two index triples (n = m on the plane), `outer` on
// the outer half of the axis, `far` beyond the plane's band.
template <class F>
void for_each_pair(const FieldMap& s, int axis, F&& f) {
  const int count = s.count(axis);
  const double reach = std::fabs(s.node(axis, 1));
  const double band = (plane_band_steps + 0.01) * std::fabs(s.step(axis));
  int lo[3] = {1, 1, 1};
  int hi[3] = {s.Nox, s.Noy, s.Noz};
  hi[axis] = (count + 1) / 2;
  for (int k = lo[2]; k <= hi[2]; ++k) {
    for (int j = lo[1]; j <= hi[1]; ++j) {
      for (int i = lo[0]; i <= hi[0]; ++i) {
        int n[3] = {i, j, k};
        int m[3] = {i, j, k};
        m[axis] = count + 1 - n[axis];
        const double from_plane = std::fabs(s.node(axis, n[axis]));
        f(n, m, from_plane >= reach / 2, from_plane > band);
      }
    }
  }
}

Sums pair_sums(const FieldMap& s, int axis, const OutputField& f) {
  Sums sums;
  for_each_pair(s, axis, [&](const int n[3], const int m[3], bool outer, bool far) {
    const double a = f(n[0], n[1], n[2]), b = f(m[0], m[1], m[2]);
    if (!std::isfinite(a) || !std::isfinite(b)) return;
    const double peak = std::max(std::fabs(a), std::fabs(b));
    const double from_odd = std::fabs(b + a);
    sums.peak = std::max(sums.peak, peak);
    sums.from_even = std::max(sums.from_even, std::fabs(b - a));
    if (from_odd > sums.from_odd) {
      sums.from_odd = from_odd;
      std::copy(m, m + 3, sums.at_odd);
    }
    if (outer) {
      sums.outer_peak = std::max(sums.outer_peak, peak);
      sums.outer_from_odd = std::max(sums.outer_from_odd, from_odd);
    }
    if (far) {
      sums.far_peak = std::max(sums.far_peak, peak);
      sums.far_from_odd = std::max(sums.far_from_odd, from_odd);
    }
  });
  return sums;
}

Parity classify(const Sums& sums, double scale, double tolerance) {
  if (sums.peak <= tolerance * scale) return Parity::zero;
  if (sums.from_even <= tolerance * scale) return Parity::even;
  if (sums.from_odd <= tolerance * scale) return Parity::odd;
  // Odd away from the plane but not at it: over the outer half for a field that fills the
  // axis, beyond the band for one gathered about the plane (the field of a gap).
  const double limit = tolerance * scale;
  if ((sums.outer_peak > limit && sums.outer_from_odd <= limit) ||
      (sums.far_peak > limit && sums.far_from_odd <= limit))
    return Parity::jump;
  return Parity::neither;
}

PlaneMatch match(const ComponentParity c[3], int axis) {
  bool code1 = true, code2 = true, all_zero = true;
  for (int n = 0; n < 3; ++n) {
    const Parity p = c[n].parity;
    if (p == Parity::jump) return PlaneMatch::jump;
  }
  for (int n = 0; n < 3; ++n) {
    const Parity p = c[n].parity;
    if (p == Parity::neither) return PlaneMatch::not_symmetric;
    if (p == Parity::zero) continue;
    all_zero = false;
    if (p != (is_odd(1, axis, n) ? Parity::odd : Parity::even)) code1 = false;
    if (p != (is_odd(2, axis, n) ? Parity::odd : Parity::even)) code2 = false;
  }
  if (all_zero) return PlaneMatch::any;
  if (code1) return PlaneMatch::code1;
  if (code2) return PlaneMatch::code2;
  return PlaneMatch::mixed;
}

}  // namespace

bool symmetric_about_zero(const FieldMap& s, int axis) {
  const int count = s.count(axis);
  const double h = std::fabs(s.step(axis));
  if (count < 2 || !(h > 0.0) || !(s.node(axis, 1) < 0.0)) return false;
  for (int n = 1; n <= count / 2; ++n) {
    if (!(std::fabs(s.node(axis, n) + s.node(axis, count + 1 - n)) <= 1e-9 * h)) return false;
  }
  return true;
}

std::vector<PlaneParity> plane_parities(const FieldMap& s, const FieldSet& set, double field_max,
                                        double tolerance) {
  std::vector<PlaneParity> planes;
  for (int a = 0; a < 3; ++a) {
    if (!symmetric_about_zero(s, a)) continue;
    PlaneParity plane;
    plane.axis = a;
    plane.node_on_plane = s.count(a) % 2 == 1;
    for (int c = 0; c < 3; ++c) {
      const Sums sums = pair_sums(s, a, *set.c[c]);
      ComponentParity& p = plane.c[c];
      p.name = set.component(c);
      p.parity = classify(sums, field_max, tolerance);
      if (field_max > 0.0) {
        p.peak = sums.peak / field_max;
        p.from_even = sums.from_even / field_max;
        p.from_odd = sums.from_odd / field_max;
      }
      std::copy(sums.at_odd, sums.at_odd + 3, p.at_odd);
    }
    plane.match = match(plane.c, a);
    planes.push_back(plane);
  }
  return planes;
}

std::string describe(PlaneMatch match) {
  switch (match) {
    case PlaneMatch::code1:
      return "code 1 (normal component odd, parallel components even)";
    case PlaneMatch::code2:
      return "code 2 (normal component even, parallel components odd)";
    case PlaneMatch::any:
      return "any code (every component is zero)";
    case PlaneMatch::mixed:
      return "no code: the parities are a mix that neither code gives (FAULT)";
    case PlaneMatch::jump:
      return "no code: a component is odd away from the plane but jumps across it, as a "
             "wrong symmetry code leaves it, or an interpolation across a wall or a sharp peak "
             "(FAULT; --source CONTROL compares the map with the solver's table)";
    case PlaneMatch::not_symmetric:
      return "no symmetry: a component is neither even nor odd (the field is not symmetric "
             "about this plane; not a fault)";
  }
  return "";
}

const char* describe(Parity parity) {
  switch (parity) {
    case Parity::zero:
      return "zero";
    case Parity::even:
      return "even";
    case Parity::odd:
      return "odd";
    case Parity::jump:
      return "jumps";
    case Parity::neither:
      return "neither";
  }
  return "";
}

}  // namespace korvane::inspect
