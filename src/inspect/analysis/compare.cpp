#include "inspect/analysis/compare.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/analysis/unfolded_map.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

// The first axis whose nodes differ, with both descriptions; empty when the grids agree.
std::string grid_difference(const UnfoldedMap& a, const UnfoldedMap& b) {
  for (int axis = 0; axis < 3; ++axis) {
    const int n = a.count(axis);
    bool same = n == b.count(axis);
    const double tolerance = 1e-9 * std::fabs(a.step(axis));
    for (int i = 1; same && i <= n; ++i) {
      same = std::fabs(a.node(axis, i) - b.node(axis, i)) <= tolerance;
    }
    if (!same) {
      auto describe_axis = [&](const UnfoldedMap& s) {
        const int count = s.count(axis);
        return std::to_string(count) + " nodes, " + general_number(s.node(axis, 1), 10) + " .. " +
               general_number(s.node(axis, count), 10) + " m";
      };
      return std::string("  the grids differ along ") + axis_names[axis] + ": " + describe_axis(a) +
             " against " + describe_axis(b) + "\n";
    }
  }
  return "";
}

// Pairs each set of `file` with the set of `other` that holds the same field.
struct SetPair {
  FieldSet mine, theirs;
};

std::vector<SetPair> pair_sets(const std::vector<FieldSet>& mine,
                               const std::vector<FieldSet>& theirs, std::string& note) {
  std::vector<SetPair> pairs;
  if (mine.size() == 1 && theirs.size() == 1 &&
      (mine[0].letter == "F" || theirs[0].letter == "F")) {
    if (mine[0].letter != theirs[0].letter) {
      note = "  the triple of unknown kind in one file is taken as the " +
             (mine[0].letter == "F" ? theirs[0].title : mine[0].title) + " of the other\n";
    }
    pairs.push_back({mine[0], theirs[0]});
    return pairs;
  }
  for (const FieldSet& m : mine) {
    for (const FieldSet& t : theirs) {
      if (m.letter == t.letter) pairs.push_back({m, t});
    }
  }
  return pairs;
}

struct Difference {
  double largest = 0.0;  // +infinity where one value is a number and the other is not
  int at[3] = {1, 1, 1};
};

Difference largest_difference(const UnfoldedMap& a, const UnfoldedMap& b, const FieldSet& mine,
                              const FieldSet& theirs, int c) {
  Difference d;
  for (int k = 1; k <= a.count(2); ++k) {
    for (int j = 1; j <= a.count(1); ++j) {
      for (int i = 1; i <= a.count(0); ++i) {
        const double u = a.value(*mine.c[c], c, i, j, k), v = b.value(*theirs.c[c], c, i, j, k);
        if (u == v || (std::isnan(u) && std::isnan(v))) continue;
        double diff = std::fabs(u - v);
        if (!std::isfinite(diff)) diff = std::numeric_limits<double>::infinity();
        if (diff > d.largest) {
          d.largest = diff;
          d.at[0] = i, d.at[1] = j, d.at[2] = k;
        }
      }
    }
  }
  return d;
}

// The axes to unfold: those whose codes differ, where one file keeps a plane the other
// holds both sides of (or the other side's mirror image under another code).
std::array<bool, 3> differing_codes(const FieldMap& a, const FieldMap& b) {
  return {a.ksym_x != b.ksym_x, a.ksym_y != b.ksym_y, a.ksym_z != b.ksym_z};
}

// The line saying that `map` is compared unfolded over the planes it keeps, or nothing when
// it is compared as stored.
std::string unfolded_line(const std::string& name, const UnfoldedMap& map) {
  const std::string planes = map.planes();
  if (planes.empty()) return "";
  const bool several = planes.find(',') != std::string::npos;
  return "  " + printable(name) + " keeps " + planes + ": compared unfolded over " +
         (several ? "them" : "it") +
         ", as the beam code reads it (nodes counted on the unfolded grid)\n";
}

// One component's line of the table: its largest difference, relative, and where.
std::string difference_line(const std::string& component, const Difference& d,
                            double relative, const UnfoldedMap& grid) {
  char line[240];
  std::snprintf(line, sizeof line, "  %-8s  %-22s %-10s", component.c_str(),
                general_number(d.largest, 8).c_str(), general_number(relative, 3).c_str());
  std::string text = line;
  if (d.largest > 0.0) {
    std::snprintf(line, sizeof line, " (%d, %d, %d), (%s, %s, %s)", d.at[0], d.at[1], d.at[2],
                  general_number(grid.node(0, d.at[0]), 7).c_str(),
                  general_number(grid.node(1, d.at[1]), 7).c_str(),
                  general_number(grid.node(2, d.at[2]), 7).c_str());
    text += line;
  } else {
    text += " identical";
  }
  return text + "\n";
}

}  // namespace

CompareReport compare_files(const InspectedFile& file, const InspectedFile& other,
                            double tolerance) {
  const FieldMap& a = file.map;
  const FieldMap& b = other.map;
  CompareReport report;
  std::string& out = report.text;
  out = "\ncompare with " + printable(other.name) + " (format " + std::to_string(b.format) + ", " +
        describe(b.sets) + ")\n";
  const UnfoldedMap ua(a, differing_codes(a, b)), ub(b, differing_codes(a, b));
  out += unfolded_line(file.name, ua) + unfolded_line(other.name, ub);

  const std::string grids = grid_difference(ua, ub);
  if (!grids.empty()) {
    report.differs = true;
    out += grids + "  values not compared\n  verdict: DIFFERENT GRIDS\n";
    return report;
  }
  out += "  grids agree: " + std::to_string(ua.count(0)) + " x " + std::to_string(ua.count(1)) +
         " x " + std::to_string(ua.count(2)) + " nodes, every coordinate within 1e-9 of a step\n";
  for (int n = 0; n < 3; ++n) {
    if (a.ksym(n) != b.ksym(n) && ua.code(n) == 0 && ub.code(n) == 0) {
      out += std::string("  note: ksym_") + axis_names[n] + " is " + std::to_string(a.ksym(n)) +
             " here and " + std::to_string(b.ksym(n)) + " there\n";
    }
  }

  const std::vector<FieldSet> mine = field_sets(a);
  const std::vector<FieldSet> theirs = field_sets(b);
  std::string note;
  const std::vector<SetPair> pairs = pair_sets(mine, theirs, note);
  out += note;
  const std::string sets = std::string(describe(a.sets)) + " against " + describe(b.sets);
  const bool sets_differ = pairs.size() != mine.size() || pairs.size() != theirs.size();
  if (sets_differ) out += "  the field sets differ: " + sets + "\n";
  if (!pairs.empty()) {
    out += "            largest |difference|   relative   at node (i, j, k), (x, y, z) in m\n";
  }
  double worst = 0.0;
  bool values_differ = false;
  for (const SetPair& pair : pairs) {
    const double field_max = largest_magnitude(a, pair.mine);
    for (int c = 0; c < 3; ++c) {
      const Difference d = largest_difference(ua, ub, pair.mine, pair.theirs, c);
      double relative = 0.0;
      if (d.largest > 0.0) {
        relative =
            field_max > 0.0 ? d.largest / field_max : std::numeric_limits<double>::infinity();
      }
      worst = std::max(worst, relative);
      out += difference_line(pair.mine.component(c), d, relative, ua);
      if (!(relative <= tolerance)) values_differ = true;
    }
  }
  report.differs = sets_differ || values_differ;
  if (report.differs) {
    std::string what = sets_differ ? "the field sets: " + sets : "";
    if (values_differ) {
      what += std::string(sets_differ ? "; " : "") + "largest relative difference " +
              general_number(worst, 3) + ", tolerance " + general_number(tolerance, 3);
    }
    out += "  verdict: DIFFERENT (" + what + ")\n";
  } else if (worst == 0.0) {
    out += "  verdict: identical values\n";
  } else {
    out += "  verdict: equal within the tolerance " + general_number(tolerance, 3) + "\n";
  }
  return report;
}

}  // namespace korvane::inspect
