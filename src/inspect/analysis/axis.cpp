#include "inspect/analysis/axis.h"

#include <cmath>
#include <stdexcept>

#include "textio/format.h"

namespace korvane::inspect {
namespace {

// Sum of weight * F over the terms of both axes: the x terms of `x`, the y terms of `y`.
double combine(const UnfoldedMap& u, const OutputField& f, int component,
               const std::vector<AxisReach::Term>& x, const std::vector<AxisReach::Term>& y,
               int k) {
  double sum = 0.0;
  for (const AxisReach::Term& tx : x) {
    for (const AxisReach::Term& ty : y) {
      sum += tx.weight * ty.weight * u.value(f, component, tx.node, ty.node, k);
    }
  }
  return sum;
}

// The converter writes a lone electric set in V/cm (its factor 0.01 on a table in V/m), so
// the integral of Ez is a hundredth of the voltage in V; a file of both sets holds the
// table's values, whose unit it does not record.
std::string voltage_hint(const InspectedFile& file, double integral) {
  if (file.map.sets == FieldSets::both) return " (for E in V/m: the on-axis voltage in V)";
  return " (for E in V/cm, the converter's unit: an on-axis voltage of " +
         general_number(100.0 * integral, 7) + " V)";
}

}  // namespace

AxisReach reach_axis(const UnfoldedMap& s, int axis) {
  const int count = s.count(axis);
  const std::string name = axis_names[axis];
  AxisReach r;
  if (count < 2) {
    throw std::runtime_error("--axis: the grid has a single node along " + name +
                             "; no derivative across the axis");
  }
  const double h = std::fabs(s.step(axis));
  if (!(h > 0.0) || !std::isfinite(h)) {
    throw std::runtime_error("--axis: the nodes along " + name +
                             " do not spread; no derivative "
                             "across the axis");
  }
  const double close = 1e-9 * h;
  const int code = s.code(axis);
  const int plane = (count + 1) / 2;
  if (code != 0 && std::fabs(s.node(axis, plane)) <= close) {
    // A kept plane: the side below it is the mirror image of the stored side.
    const double d = s.node(axis, plane + 1) - s.node(axis, plane - 1);
    r.how = name + " = 0 is the kept plane at node 1 (ksym_" + name + " = " + std::to_string(code) +
            "): the side " + name + " < 0 mirrored with its parity";
    r.value = {{plane, 1.0}};
    r.derivative = {{plane + 1, 1.0 / d}, {plane - 1, -1.0 / d}};
    return r;
  }
  for (int n = 1; n <= count; ++n) {
    if (std::fabs(s.node(axis, n)) > close) continue;
    r.value = {{n, 1.0}};
    if (n == 1 || n == count) {
      const int m = n == 1 ? 2 : count - 1;
      const double d = s.node(axis, m) - s.node(axis, n);
      r.how =
          name + " = 0 at node " + std::to_string(n) + ", the grid's edge: one-sided difference";
      r.derivative = {{m, 1.0 / d}, {n, -1.0 / d}};
    } else {
      const double d = s.node(axis, n + 1) - s.node(axis, n - 1);
      r.how = name + " = 0 at node " + std::to_string(n) + ": central difference across it";
      r.derivative = {{n + 1, 1.0 / d}, {n - 1, -1.0 / d}};
    }
    return r;
  }
  for (int n = 1; n < count; ++n) {
    const double lo = s.node(axis, n), hi = s.node(axis, n + 1);
    if (!(lo < 0.0 && hi > 0.0)) continue;
    const double d = hi - lo;
    r.how = name + " = 0 between nodes " + std::to_string(n) + " and " + std::to_string(n + 1) +
            ": values interpolated linearly, the derivative is their difference";
    r.value = {{n, hi / d}, {n + 1, -lo / d}};
    r.derivative = {{n + 1, 1.0 / d}, {n, -1.0 / d}};
    return r;
  }
  throw std::runtime_error("--axis: " + name + " = 0 lies outside the grid (" +
                           general_number(s.node(axis, 1), 7) + " .. " +
                           general_number(s.node(axis, count), 7) + " m)");
}

std::vector<AxisProfile> axis_profiles(const UnfoldedMap& u, const AxisReach& x,
                                       const AxisReach& y) {
  std::vector<AxisProfile> profiles;
  for (const FieldSet& set : field_sets(u.map())) {
    AxisProfile p{set, {}, {}, {}};
    for (int k = 1; k <= u.count(2); ++k) {
      for (int c = 0; c < 3; ++c) p.f[c].push_back(combine(u, *set.c[c], c, x.value, y.value, k));
      p.dfy_dx.push_back(combine(u, *set.c[1], 1, x.derivative, y.value, k));
      p.dfx_dy.push_back(combine(u, *set.c[0], 0, x.value, y.derivative, k));
    }
    profiles.push_back(std::move(p));
  }
  return profiles;
}

double trapezoid(const UnfoldedMap& s, const std::vector<double>& values) {
  double sum = 0.0;
  for (int k = 1; k < s.count(2); ++k) {
    sum += 0.5 * (values[k - 1] + values[k]) * (s.node(2, k + 1) - s.node(2, k));
  }
  return sum;
}

void write_axis_csv(const InspectedFile& file, const UnfoldedMap& s, const AxisReach& x,
                    const AxisReach& y, const std::vector<AxisProfile>& profiles, ByteSink& out) {
  out.write("# the axis x = y = 0 of " + file.name + "\n");
  out.write("# " + x.how + "\n# " + y.how + "\n");
  out.write("# z in m, field in the units of the file, derivatives in those units per m\n");
  std::string line = "z";
  for (const AxisProfile& p : profiles) {
    const std::string& f = p.set.letter;
    line += "," + f + "x," + f + "y," + f + "z,d" + f + "y/dx,d" + f + "x/dy";
  }
  out.write(line + "\n");
  for (int k = 1; k <= s.count(2); ++k) {
    line = exact_number(s.node(2, k));
    for (const AxisProfile& p : profiles) {
      for (const double v :
           {p.f[0][k - 1], p.f[1][k - 1], p.f[2][k - 1], p.dfy_dx[k - 1], p.dfx_dy[k - 1]}) {
        line += ',';
        line += exact_number(v);
      }
    }
    out.write(line + "\n");
  }
}

std::string axis_report(const InspectedFile& file, const UnfoldedMap& s, const AxisReach& x,
                        const AxisReach& y, const std::vector<AxisProfile>& profiles) {
  const int nz = s.count(2);
  std::string out = "\non the axis x = y = 0, trapezoidal rule over the " + std::to_string(nz) +
                    " z nodes from " + general_number(s.node(2, 1), 7) + " to " +
                    general_number(s.node(2, nz), 7) + " m\n";
  out += "  " + x.how + "\n  " + y.how + "\n";
  if (s.code(2) != 0) {
    out += "  z = 0 is the kept plane at node 1 (ksym_z = " + std::to_string(s.code(2)) +
           "): the side z < 0 mirrored with its parity, the figures over the whole element\n";
  }
  if (profiles.empty()) return out + "  no field components\n";
  for (const AxisFigures& figures : axis_figures(s, profiles)) {
    const std::string& f = figures.set.letter;
    const std::string units = "(units of " + f + ")";
    out += "  " + f + ": integral of " + f + "z dz = " + general_number(figures.fz_integral, 7) +
           " " + units + " x m" + (f == "E" ? voltage_hint(file, figures.fz_integral) : "") + "\n";
    for (const DerivativeFigures& d : figures.derivatives) {
      if (d.peak == 0.0) {
        out += "    " + d.name + ": zero along the axis\n";
        continue;
      }
      out += "    " + d.name + ": peak " + general_number(d.peak, 7) + " " + units +
             " per m at z = " + general_number(d.peak_z, 7) + " m; integral " +
             general_number(d.integral, 7) + " " + units;
      out += "; effective length " + general_number(d.integral / d.peak, 7) + " m\n";
    }
  }
  return out;
}

std::vector<AxisFigures> axis_figures(const UnfoldedMap& s,
                                      const std::vector<AxisProfile>& profiles) {
  std::vector<AxisFigures> all;
  for (const AxisProfile& p : profiles) {
    const std::string& f = p.set.letter;
    AxisFigures figures{p.set, trapezoid(s, p.f[2]), {}};
    const std::pair<std::string, const std::vector<double>*> derivatives[2] = {
        {"d" + f + "y/dx", &p.dfy_dx}, {"d" + f + "x/dy", &p.dfx_dy}};
    for (int n = 0; n < 2; ++n) {
      const std::vector<double>& values = *derivatives[n].second;
      int peak = 0;
      for (int k = 1; k < s.count(2); ++k) {
        if (std::fabs(values[k]) > std::fabs(values[peak])) peak = k;
      }
      figures.derivatives[n] = {derivatives[n].first, values[peak], s.node(2, peak + 1),
                                trapezoid(s, values)};
    }
    all.push_back(std::move(figures));
  }
  return all;
}

}  // namespace korvane::inspect
