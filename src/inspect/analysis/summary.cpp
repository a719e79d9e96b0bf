#include "inspect/analysis/summary.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "inspect/analysis/field_set.h"
#include "textio/format.h"

namespace korvane::inspect {
const char* format_name(int format) {
  switch (format) {
    case 0:
      return "0 (unformatted records)";
    case 1:
      return "1 (text, one record per array, x fastest)";
    case 2:
      return "2 (text, one record per node, z fastest)";
  }
  return "unknown";
}

namespace {

std::string row(const char* label, const std::string& value) {
  char text[32];
  std::snprintf(text, sizeof text, "  %-13s ", label);
  return text + value + "\n";
}

}  // namespace

ComponentStats component_stats(const FieldMap& s, const OutputField& a) {
  ComponentStats stats;
  stats.min = std::numeric_limits<double>::infinity();
  stats.max = -std::numeric_limits<double>::infinity();
  double squares = 0.0;
  long finite = 0;
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        const double v = a(i, j, k);
        if (!std::isfinite(v)) {
          ++stats.non_finite;
          continue;
        }
        ++finite;
        if (v < stats.min) stats.min = v;
        if (v > stats.max) stats.max = v;
        squares += v * v;
        if (std::fabs(v) > std::fabs(stats.largest)) {
          stats.largest = v;
          stats.at[0] = i, stats.at[1] = j, stats.at[2] = k;
        }
      }
    }
  }
  if (finite == 0) {
    stats.min = stats.max = 0.0;
    return stats;
  }
  stats.rms = std::sqrt(squares / static_cast<double>(finite));
  return stats;
}

std::string summary_report(const InspectedFile& file) {
  const FieldMap& s = file.map;
  std::string out = "file " + file.name + "\n";
  out += row("format", format_name(s.format));
  std::string sets = describe(s.sets);
  if (s.format == 2) sets += " (ifield " + std::to_string(s.ifield) + ")";
  if (s.sets == FieldSets::electric_or_magnetic) {
    sets += "; the file does not say which (see --field)";
  }
  out += row("field sets", sets);
  out += row("k_s_EH", std::to_string(s.k_s_EH) + (s.format == 2 ? " (from ifield)" : ""));
  if (s.has_lengths) {
    out += row("d_elm, aper",
               general_number(s.d_elm, 15) + " m, " + general_number(s.aper, 15) + " m");
  }
  out += row("symmetry", "ksym_x = " + std::to_string(s.ksym_x) + ", ksym_y = " +
                             std::to_string(s.ksym_y) + ", ksym_z = " + std::to_string(s.ksym_z));
  out += row("grid", std::to_string(s.Nox) + " x " + std::to_string(s.Noy) + " x " +
                         std::to_string(s.Noz) + " nodes");
  for (int a = 0; a < 3; ++a) {
    const int n = s.count(a);
    out += row(("  " + std::string(axis_names[a])).c_str(),
               general_number(s.node(a, 1), 15) + " .. " + general_number(s.node(a, n), 15) +
                   " m, step " + general_number(s.step(a), 15) + " m");
  }

  const std::vector<FieldSet> present = field_sets(s);
  if (present.empty()) {
    out += "\n  no field components in the file\n";
    return out;
  }
  char line[256];
  std::snprintf(line, sizeof line, "\n  %-4s %15s %15s %15s   %s\n", "", "min", "max", "rms",
                "largest |value| at node (i, j, k), (x, y, z) in m");
  out += line;
  for (const FieldSet& set : present) {
    for (int c = 0; c < 3; ++c) {
      const ComponentStats st = component_stats(s, *set.c[c]);
      std::snprintf(
          line, sizeof line, "  %-4s %15.7e %15.7e %15.7e   %.7e at (%d, %d, %d), (%s, %s, %s)\n",
          set.component(c).c_str(), st.min, st.max, st.rms, st.largest, st.at[0], st.at[1],
          st.at[2], general_number(s.xmws(st.at[0]), 7).c_str(),
          general_number(s.ymws(st.at[1]), 7).c_str(), general_number(s.zmws(st.at[2]), 7).c_str());
      out += line;
      if (st.non_finite > 0) {
        out += "       " + std::to_string(st.non_finite) +
               " values are NaN or infinite and left out\n";
      }
    }
  }
  return out;
}

}  // namespace korvane::inspect
