#include "inspect/analysis/field_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "textio/format.h"

namespace korvane::inspect {

std::vector<FieldSet> field_sets(const FieldMap& m) {
  const FieldSet electric{"E", "E", {&m.ExOut, &m.EyOut, &m.EzOut}};
  const FieldSet magnetic{"H", "H", {&m.HxOut, &m.HyOut, &m.HzOut}};
  switch (m.sets) {
    case FieldSets::electric:
      return {electric};
    case FieldSets::magnetic:
      return {magnetic};
    case FieldSets::both:
      return {electric, magnetic};
    case FieldSets::electric_or_magnetic:
      // The reader puts a triple of unknown kind in the electric arrays.
      return {FieldSet{"F", "E or H", {&m.ExOut, &m.EyOut, &m.EzOut}}};
    case FieldSets::none:
      break;
  }
  return {};
}

const char* converter_unit(const FieldMap& map, const FieldSet& set) {
  if (map.sets == FieldSets::both) return nullptr;
  if (set.letter == "E") return converter_electric_unit;
  if (set.letter == "H") return converter_magnetic_unit;
  return nullptr;
}

double largest_magnitude(const FieldMap& m, const FieldSet& set) {
  double largest = 0.0;
  for (int k = 1; k <= m.Noz; ++k) {
    for (int j = 1; j <= m.Noy; ++j) {
      for (int i = 1; i <= m.Nox; ++i) {
        const double x = (*set.c[0])(i, j, k), y = (*set.c[1])(i, j, k), z = (*set.c[2])(i, j, k);
        const double magnitude = std::sqrt(x * x + y * y + z * z);
        if (std::isfinite(magnitude)) largest = std::max(largest, magnitude);
      }
    }
  }
  return largest;
}

std::string node_place(const FieldMap& s, const int at[3]) {
  char text[200];
  std::snprintf(text, sizeof text, "(%d, %d, %d), (%s, %s, %s) m", at[0], at[1], at[2],
                general_number(s.xmws(at[0]), 7).c_str(), general_number(s.ymws(at[1]), 7).c_str(),
                general_number(s.zmws(at[2]), 7).c_str());
  return text;
}

}  // namespace korvane::inspect
