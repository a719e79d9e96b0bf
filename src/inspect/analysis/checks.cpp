#include "inspect/analysis/checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "inspect/analysis/parity.h"
#include "symmetry/odd_components.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

// Values that are not numbers are a fault of the map itself, which every figure below
// leaves out: named by their count and the first node that holds one (x fastest, as the
// component records run).
void report_non_finite(const FieldMap& s, const std::vector<FieldSet>& sets, CheckReport& report) {
  long& count = report.non_finite.count;
  std::string& first = report.non_finite.component;
  int* at = report.non_finite.at;
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        for (const FieldSet& set : sets) {
          for (int c = 0; c < 3; ++c) {
            if (std::isfinite((*set.c[c])(i, j, k)) || count++ > 0) continue;
            first = set.component(c);
            at[0] = i, at[1] = j, at[2] = k;
          }
        }
      }
    }
  }
  if (count == 0) return;
  report.fault = true;
  report.text += "  " + std::to_string(count) + (count == 1 ? " value is" : " values are") +
                 " NaN or infinite (FAULT), the first " + first + " at node " + node_place(s, at) +
                 "\n";
}

// The divergence of each set: a figure to judge, never a fault.
void report_divergence(const FieldMap& s, const CheckReport& report, std::string& out) {
  out +=
      "  divergence by central differences over the interior nodes,\n"
      "  relative = max |div| * smallest step / max |field| (a figure to judge, not a verdict)\n";
  for (const SetChecks& checks : report.sets) {
    const FieldSet& set = checks.set;
    const Divergence& d = checks.divergence;
    if (!d.computed) {
      out += "  " + set.letter + ": not computed: " + d.reason + "\n";
      continue;
    }
    if (d.field_max == 0.0) {
      out += "  " + set.letter + ": zero at every node\n";
      continue;
    }
    out += "  " + set.letter + ": relative " + general_number(d.relative, 3) + "; max |div " +
           set.letter + "| = " + general_number(d.largest, 7) + " per m at " + node_place(s, d.at) +
           "; max |" + set.letter + "| = " + general_number(d.field_max, 7) + ", step " +
           general_number(d.step, 7) + " m\n";
  }
}

std::string judged_line(double tolerance) {
  return "  (tolerance " + general_number(tolerance, 3) + " of max |field|)\n";
}

// The parities about each plane the grid is symmetric about, and the code they match.
void report_parities(const FieldMap& s, double tolerance, CheckReport& report) {
  std::string& out = report.text;
  bool any_plane = false;
  for (const SetChecks& checks : report.sets) {
    const FieldSet& set = checks.set;
    for (const PlaneParity& plane : checks.parities) {
      if (!any_plane) {
        out +=
            "  parity about each plane the grid is symmetric about, relative to max |field|:\n"
            "  |F(m) - F| is the departure from even, |F(m) + F| from odd, m the mirror node\n" +
            judged_line(tolerance);
        any_plane = true;
      }
      const std::string axis = axis_names[plane.axis];
      out += "  " + set.letter + ", " + axis + " = 0 (" +
             (plane.node_on_plane ? "a node on the plane" : "no node on the plane") +
             "): " + describe(plane.match) + "\n";
      if (plane.fault()) report.fault = true;
      for (const ComponentParity& p : plane.c) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "      %-4s %-8s |F(m) - F| %-10s |F(m) + F| %-10s max |%s| %s",
                      (p.name + ":").c_str(), describe(p.parity),
                      general_number(p.from_even, 3).c_str(), general_number(p.from_odd, 3).c_str(),
                      p.name.c_str(), general_number(p.peak, 3).c_str());
        out += line;
        if (p.parity == Parity::jump || p.parity == Parity::neither) {
          out += "; largest |F(m) + F| at " + node_place(s, p.at_odd);
        }
        out += "\n";
      }
    }
  }
  if (!any_plane) out += "  parity: the grid is symmetric about none of x = 0, y = 0, z = 0\n";
}

// The odd components on each symmetry plane the file keeps, which must vanish there.
void report_kept_planes(const FieldMap& s, double tolerance, CheckReport& report) {
  std::string& out = report.text;
  bool any_plane = false;
  for (const SetChecks& checks : report.sets) {
    const FieldSet& set = checks.set;
    for (const PlaneCheck& check : checks.kept) {
      if (!any_plane) {
        out +=
            "  kept symmetry planes: odd components on the plane (node 1), relative to max "
            "|field|\n" +
            judged_line(tolerance);
        any_plane = true;
      }
      const std::string axis = axis_names[check.axis];
      std::string head = "  " + set.letter + ", " + axis + " = 0 (ksym_" + axis + " = " +
                         std::to_string(check.code);
      if (!check.known_code) {
        out += head + "): not a symmetry code; not checked\n";
        continue;
      }
      head += check.code == 1 ? ", normal component odd)" : ", parallel components odd)";
      if (check.first_node != 0.0) {
        out += head + ": node 1 lies at " + axis + " = " + general_number(check.first_node, 7) +
               " m, not on the plane; not checked\n";
        continue;
      }
      out += head + "\n";
      for (const PlaneComponent& p : check.odd) {
        const bool zero = vanishes(p, tolerance);
        if (!zero) report.fault = true;
        out += "      " + p.name + ": relative " + general_number(p.relative, 3) + "; max |" +
               p.name + "| = " + general_number(p.largest, 7) + " at " + node_place(s, p.at) +
               (zero ? "\n" : " (FAULT: an odd component must vanish on its plane)\n");
      }
    }
  }
  if (!any_plane) out += "  kept symmetry planes: none declared (ksym_x = ksym_y = ksym_z = 0)\n";
}

}  // namespace

Divergence divergence(const FieldMap& s, const FieldSet& set) {
  Divergence d;
  for (int a = 0; a < 3; ++a) {
    if (s.count(a) < 3) {
      d.reason = std::string("needs 3 nodes along each axis, No") + axis_names[a] + " = " +
                 std::to_string(s.count(a));
      return d;
    }
  }
  d.computed = true;
  d.at[0] = d.at[1] = d.at[2] = 2;
  for (int k = 2; k < s.Noz; ++k) {
    const double hz = s.zmws(k + 1) - s.zmws(k - 1);
    for (int j = 2; j < s.Noy; ++j) {
      const double hy = s.ymws(j + 1) - s.ymws(j - 1);
      for (int i = 2; i < s.Nox; ++i) {
        const double hx = s.xmws(i + 1) - s.xmws(i - 1);
        const double div = ((*set.c[0])(i + 1, j, k) - (*set.c[0])(i - 1, j, k)) / hx +
                           ((*set.c[1])(i, j + 1, k) - (*set.c[1])(i, j - 1, k)) / hy +
                           ((*set.c[2])(i, j, k + 1) - (*set.c[2])(i, j, k - 1)) / hz;
        if (std::fabs(div) > d.largest) {
          d.largest = std::fabs(div);
          d.at[0] = i, d.at[1] = j, d.at[2] = k;
        }
      }
    }
  }
  d.field_max = largest_magnitude(s, set);
  d.step = std::min({std::fabs(s.step(0)), std::fabs(s.step(1)), std::fabs(s.step(2))});
  if (d.field_max > 0.0) d.relative = d.largest * d.step / d.field_max;
  return d;
}

std::vector<PlaneCheck> plane_checks(const FieldMap& s, const FieldSet& set) {
  std::vector<PlaneCheck> checks;
  const double field_max = largest_magnitude(s, set);
  for (int a = 0; a < 3; ++a) {
    const int code = s.ksym(a);
    if (code == 0) continue;
    PlaneCheck check;
    check.axis = a;
    check.code = code;
    check.first_node = s.node(a, 1);
    check.known_code = code == 1 || code == 2;
    if (!check.known_code) {
      checks.push_back(check);
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      if (!is_odd(code, a, c)) continue;
      PlaneComponent p;
      p.name = set.component(c);
      p.at[0] = p.at[1] = p.at[2] = 1;
      int lo[3] = {1, 1, 1};
      int hi[3] = {s.Nox, s.Noy, s.Noz};
      hi[a] = 1;  // node 1 lies on the plane
      for (int k = lo[2]; k <= hi[2]; ++k) {
        for (int j = lo[1]; j <= hi[1]; ++j) {
          for (int i = lo[0]; i <= hi[0]; ++i) {
            const double v = std::fabs((*set.c[c])(i, j, k));
            if (v > p.largest || (std::isnan(v) && !std::isnan(p.largest))) {
              p.largest = v;
              p.at[0] = i, p.at[1] = j, p.at[2] = k;
            }
          }
        }
      }
      if (field_max > 0.0) p.relative = p.largest / field_max;
      check.odd.push_back(p);
    }
    checks.push_back(check);
  }
  return checks;
}

CheckReport check_report(const InspectedFile& file, double tolerance) {
  const FieldMap& s = file.map;
  const std::vector<FieldSet> sets = field_sets(s);
  CheckReport report;
  report.tolerance = tolerance;
  report.text = "\nchecks\n";
  if (sets.empty()) {
    report.text += "  no field components to check\n";
    return report;
  }
  for (const FieldSet& set : sets) {
    report.sets.push_back({set, divergence(s, set),
                           plane_parities(s, set, largest_magnitude(s, set), tolerance),
                           plane_checks(s, set)});
  }
  report_non_finite(s, sets, report);
  report_divergence(s, report, report.text);
  report_parities(s, tolerance, report);
  report_kept_planes(s, tolerance, report);
  report.text += report.fault ? "  verdict: FAULT (see above)\n" : "  verdict: no fault found\n";
  return report;
}

}  // namespace korvane::inspect
