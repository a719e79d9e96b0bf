#include "inspect/analysis/axis.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace korvane::inspect {
namespace {

constexpr const char* axis_names[3] = {"x", "y", "z"};

int code_of(const FieldStore& s, int axis) {
  return axis == 0 ? s.ksym_x : axis == 1 ? s.ksym_y : s.ksym_z;
}

// The sign a component takes in the mirror image across the plane normal to `axis` under
// `code`: code 1 makes the normal component odd, code 2 the two parallel ones.
double mirror_sign(int code, int axis, int component) {
  const bool odd = code == 1 ? component == axis : code == 2 && component != axis;
  return odd ? -1.0 : 1.0;
}

// Sum of weight * F over the terms of both axes: the x terms of `x`, the y terms of `y`.
double combine(const FieldStore& s, const OutputField& f, int component,
               const std::vector<AxisReach::Term>& x, const std::vector<AxisReach::Term>& y,
               int k) {
  double sum = 0.0;
  for (const AxisReach::Term& tx : x) {
    for (const AxisReach::Term& ty : y) {
      double sign = 1.0;
      if (tx.mirrored) sign *= mirror_sign(s.ksym_x, 0, component);
      if (ty.mirrored) sign *= mirror_sign(s.ksym_y, 1, component);
      sum += tx.weight * ty.weight * sign * f(tx.node, ty.node, k);
    }
  }
  return sum;
}

std::string csv_number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The converter writes a lone electric set in V/cm (its factor 0.01 on a table in V/m), so
// the integral of Ez is a hundredth of the voltage in V; a file of both sets holds the
// table's values, whose unit it does not record.
std::string voltage_hint(const InspectedFile& file, double integral) {
  if (file.info.sets == FieldSets::both) return " (for E in V/m: the on-axis voltage in V)";
  return " (for E in V/cm, the converter's unit: an on-axis voltage of " + number(100.0 * integral) +
         " V)";
}

}  // namespace

AxisReach reach_axis(const FieldStore& s, int axis) {
  const int count = node_count(s, axis);
  const std::string name = axis_names[axis];
  AxisReach r;
  if (count < 2) {
    throw std::runtime_error("--axis: the grid has a single node along " + name +
                             "; no derivative across the axis");
  }
  const double h = std::fabs(step(s, axis));
  if (!(h > 0.0) || !std::isfinite(h)) {
    throw std::runtime_error("--axis: the nodes along " + name +
                             " do not spread; no derivative "
                             "across the axis");
  }
  const double close = 1e-9 * h;
  const int code = code_of(s, axis);
  if ((code == 1 || code == 2) && std::fabs(node(s, axis, 1)) <= close) {
    // A kept plane: the side below it is the mirror image of node 2.
    const double x2 = node(s, axis, 2);
    r.how = name + " = 0 is the kept plane at node 1 (ksym_" + name + " = " + std::to_string(code) +
            "): the side " + name + " < 0 mirrored with its parity";
    r.value = {{1, 1.0, false}};
    r.derivative = {{2, 1.0 / (2.0 * x2), false}, {2, -1.0 / (2.0 * x2), true}};
    return r;
  }
  for (int n = 1; n <= count; ++n) {
    if (std::fabs(node(s, axis, n)) > close) continue;
    r.value = {{n, 1.0, false}};
    if (n == 1 || n == count) {
      const int m = n == 1 ? 2 : count - 1;
      const double d = node(s, axis, m) - node(s, axis, n);
      r.how =
          name + " = 0 at node " + std::to_string(n) + ", the grid's edge: one-sided difference";
      r.derivative = {{m, 1.0 / d, false}, {n, -1.0 / d, false}};
    } else {
      const double d = node(s, axis, n + 1) - node(s, axis, n - 1);
      r.how = name + " = 0 at node " + std::to_string(n) + ": central difference across it";
      r.derivative = {{n + 1, 1.0 / d, false}, {n - 1, -1.0 / d, false}};
    }
    return r;
  }
  for (int n = 1; n < count; ++n) {
    const double lo = node(s, axis, n), hi = node(s, axis, n + 1);
    if (!(lo < 0.0 && hi > 0.0)) continue;
    const double d = hi - lo;
    r.how = name + " = 0 between nodes " + std::to_string(n) + " and " + std::to_string(n + 1) +
            ": values interpolated linearly, the derivative is their difference";
    r.value = {{n, hi / d, false}, {n + 1, -lo / d, false}};
    r.derivative = {{n + 1, 1.0 / d, false}, {n, -1.0 / d, false}};
    return r;
  }
  throw std::runtime_error("--axis: " + name + " = 0 lies outside the grid (" +
                           number(node(s, axis, 1)) + " .. " + number(node(s, axis, count)) +
                           " m)");
}

std::vector<AxisProfile> axis_profiles(const InspectedFile& file, const AxisReach& x,
                                       const AxisReach& y) {
  const FieldStore& s = file.store;
  std::vector<AxisProfile> profiles;
  for (const FieldSet& set : field_sets(s, file.info.sets)) {
    AxisProfile p{set, {}, {}, {}};
    for (int k = 1; k <= s.Noz; ++k) {
      for (int c = 0; c < 3; ++c) p.f[c].push_back(combine(s, *set.c[c], c, x.value, y.value, k));
      p.dfy_dx.push_back(combine(s, *set.c[1], 1, x.derivative, y.value, k));
      p.dfx_dy.push_back(combine(s, *set.c[0], 0, x.value, y.derivative, k));
    }
    profiles.push_back(std::move(p));
  }
  return profiles;
}

double trapezoid(const FieldStore& s, const std::vector<double>& values) {
  double sum = 0.0;
  for (int k = 1; k < s.Noz; ++k) {
    sum += 0.5 * (values[k - 1] + values[k]) * (s.zmws(k + 1) - s.zmws(k));
  }
  return sum;
}

void write_axis_csv(const InspectedFile& file, const AxisReach& x, const AxisReach& y,
                    const std::vector<AxisProfile>& profiles, ByteSink& out) {
  const FieldStore& s = file.store;
  out.write("# the axis x = y = 0 of " + file.name + "\n");
  out.write("# " + x.how + "\n# " + y.how + "\n");
  out.write("# z in m, field in the units of the file, derivatives in those units per m\n");
  std::string line = "z";
  for (const AxisProfile& p : profiles) {
    const std::string& f = p.set.letter;
    line += "," + f + "x," + f + "y," + f + "z,d" + f + "y/dx,d" + f + "x/dy";
  }
  out.write(line + "\n");
  for (int k = 1; k <= s.Noz; ++k) {
    line = csv_number(s.zmws(k));
    for (const AxisProfile& p : profiles) {
      for (const double v :
           {p.f[0][k - 1], p.f[1][k - 1], p.f[2][k - 1], p.dfy_dx[k - 1], p.dfx_dy[k - 1]}) {
        line += ',';
        line += csv_number(v);
      }
    }
    out.write(line + "\n");
  }
}

std::string axis_report(const InspectedFile& file, const AxisReach& x, const AxisReach& y,
                        const std::vector<AxisProfile>& profiles) {
  const FieldStore& s = file.store;
  std::string out = "\non the axis x = y = 0, trapezoidal rule over the " + std::to_string(s.Noz) +
                    " z nodes from " + number(s.zmws(1)) + " to " + number(s.zmws(s.Noz)) + " m\n";
  out += "  " + x.how + "\n  " + y.how + "\n";
  if (s.ksym_z != 0 && std::fabs(s.zmws(1)) <= 1e-9 * std::fabs(step(s, 2))) {
    out += "  the file keeps z >= 0 only (ksym_z = " + std::to_string(s.ksym_z) +
           "): over the whole element an even quantity integrates to twice the figures "
           "below (and its effective length is twice as long), an odd one to 0\n";
  }
  if (profiles.empty()) return out + "  no field components\n";
  for (const AxisProfile& p : profiles) {
    const std::string& f = p.set.letter;
    const std::string units = "(units of " + f + ")";
    out += "  " + f + ": integral of " + f + "z dz = " + number(trapezoid(s, p.f[2])) + " " +
           units + " x m" + (f == "E" ? voltage_hint(file, trapezoid(s, p.f[2])) : "") + "\n";
    const std::pair<std::string, const std::vector<double>*> derivatives[2] = {
        {"d" + f + "y/dx", &p.dfy_dx}, {"d" + f + "x/dy", &p.dfx_dy}};
    for (const auto& [name, values] : derivatives) {
      int peak = 0;
      for (int k = 1; k < s.Noz; ++k) {
        if (std::fabs((*values)[k]) > std::fabs((*values)[peak])) peak = k;
      }
      const double largest = (*values)[peak];
      const double integral = trapezoid(s, *values);
      if (largest == 0.0) {
        out += "    " + name + ": zero along the axis\n";
        continue;
      }
      out += "    " + name + ": peak " + number(largest) + " " + units +
             " per m at z = " + number(s.zmws(peak + 1)) + " m; integral " + number(integral) +
             " " + units;
      out += "; effective length " + number(integral / largest) + " m\n";
    }
  }
  return out;
}

}  // namespace korvane::inspect
