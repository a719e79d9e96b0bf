// The field on the axis x = y = 0 along z, its transverse derivatives, and their integrals.
#pragma once

#include <string>
#include <vector>

#include "fieldfile/field_map.h"
#include "inspect/analysis/field_set.h"
#include "inspect/analysis/inspected_file.h"
#include "inspect/analysis/unfolded_map.h"
#include "textio/byte_sink.h"

namespace korvane::inspect {

// How the axis is reached from the nodes along x or along y.
struct AxisReach {
  std::string how;  // for the CSV's header comment and the report
  // The value on the axis: sum of weight * F(node), nodes of the map unfolded over its
  // kept planes along x and y.
  struct Term {
    int node;
    double weight;
  };
  std::vector<Term> value;
  std::vector<Term> derivative;  // d/dx (or d/dy) on the axis, per m
};

// Every function here takes the file's map unfolded over its kept planes (UnfoldedMap of
// the file): the profile runs over the whole element, a kept z half mirrored too.

// Finds the axis along x (0) or y (1) of `map`: a node on it (central difference across
// it; a kept plane is such a node, its missing side the mirror image), or two nodes about
// it (linear interpolation, their difference). Throws std::runtime_error when the axis lies
// outside the grid or the axis has a single node.
AxisReach reach_axis(const UnfoldedMap& map, int axis);

struct AxisProfile {
  FieldSet set;
  std::vector<double> f[3];            // Fx, Fy, Fz on the axis, one per z node
  std::vector<double> dfy_dx, dfx_dy;  // field units per m
};

// The profile of each set on the axis, one value per z node of `map`.
std::vector<AxisProfile> axis_profiles(const UnfoldedMap& map, const AxisReach& x,
                                       const AxisReach& y);

// The integral over the z nodes of `map` by the trapezoidal rule.
double trapezoid(const UnfoldedMap& map, const std::vector<double>& values);

// The figures of a transverse derivative on the axis: its peak (the value of largest
// magnitude, with its sign; 0 when it is zero along the axis), where it lies, and its
// integral over z (field units, or per m for the peak).
struct DerivativeFigures {
  std::string name;  // "dHy/dx"
  double peak = 0.0, peak_z = 0.0, integral = 0.0;
};

// Per set: the integral of Fz dz (field units x m) and the figures of dFy/dx and dFx/dy.
struct AxisFigures {
  FieldSet set;
  double fz_integral = 0.0;
  DerivativeFigures derivatives[2];
};

// The figures of each profile, by the trapezoidal rule over the z nodes of `map`.
std::vector<AxisFigures> axis_figures(const UnfoldedMap& map,
                                      const std::vector<AxisProfile>& profiles);

// A comment line per transverse axis saying how the axis was reached, a header line
// "z,Fx,Fy,Fz,dFy/dx,dFx/dy" (per set) and one line per z node of `map`, 17 significant
// digits.
void write_axis_csv(const InspectedFile& file, const UnfoldedMap& map, const AxisReach& x,
                    const AxisReach& y, const std::vector<AxisProfile>& profiles, ByteSink& out);

// The integrals beneath the summary: the integral of Fz, and for each transverse
// derivative its peak, its integral and the effective length integral / peak; a kept z
// plane is named.
std::string axis_report(const InspectedFile& file, const UnfoldedMap& map, const AxisReach& x,
                        const AxisReach& y, const std::vector<AxisProfile>& profiles);

}  // namespace korvane::inspect
