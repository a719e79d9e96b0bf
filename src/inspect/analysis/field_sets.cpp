#include "inspect/analysis/field_sets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvane::inspect {

std::vector<FieldSet> field_sets(const FieldStore& s, FieldSets sets) {
  const FieldSet electric{"E", "E", {&s.ExOut, &s.EyOut, &s.EzOut}};
  const FieldSet magnetic{"H", "H", {&s.HxOut, &s.HyOut, &s.HzOut}};
  switch (sets) {
    case FieldSets::electric:
      return {electric};
    case FieldSets::magnetic:
      return {magnetic};
    case FieldSets::both:
      return {electric, magnetic};
    case FieldSets::electric_or_magnetic:
      // The reader puts a triple of unknown kind in the electric arrays.
      return {FieldSet{"F", "E or H", {&s.ExOut, &s.EyOut, &s.EzOut}}};
    case FieldSets::none:
      break;
  }
  return {};
}

double node(const FieldStore& s, int axis, int n) {
  return axis == 0 ? s.xmws(n) : axis == 1 ? s.ymws(n) : s.zmws(n);
}

int node_count(const FieldStore& s, int axis) {
  return axis == 0 ? s.Nox : axis == 1 ? s.Noy : s.Noz;
}

double step(const FieldStore& s, int axis) {
  const int n = node_count(s, axis);
  if (n < 2) return 0.0;
  return (node(s, axis, n) - node(s, axis, 1)) / static_cast<double>(n - 1);
}

int node_nearest_zero(const FieldStore& s, int axis) {
  int best = 1;
  for (int n = 2; n <= node_count(s, axis); ++n) {
    if (std::fabs(node(s, axis, n)) < std::fabs(node(s, axis, best))) best = n;
  }
  return best;
}

double largest_magnitude(const FieldStore& s, const FieldSet& set) {
  double largest = 0.0;
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        const double x = (*set.c[0])(i, j, k), y = (*set.c[1])(i, j, k), z = (*set.c[2])(i, j, k);
        const double m = std::sqrt(x * x + y * y + z * z);
        if (std::isfinite(m)) largest = std::max(largest, m);
      }
    }
  }
  return largest;
}

std::string number(double value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

}  // namespace korvane::inspect
