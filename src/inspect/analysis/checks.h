// Physics checks of korvane-inspect.
//
// Values: a NaN or infinite value (a file edited by hand, or from another program) is a
// fault of the map; the figures below leave such values out.
//
// Divergence: central differences over the interior nodes of each field set, reported as
// the largest |div F| times the smallest step over the largest |F| (of order 1 for a field
// with a gross fault at one node, of order 1e-15 for a field that is divergence-free up to
// rounding).
//
// Parity: see parity.h.
//
// Kept symmetry planes: on each axis whose output code is 1 or 2 the output grid starts at the
// plane (node 1). Code 1 makes the component normal to the plane odd, code 2 the two
// parallel to it; an odd component must vanish on the plane. Reported as its largest
// magnitude there over the largest |F| of its set.
#pragma once

#include <string>
#include <vector>

#include "fieldfile/field_map.h"
#include "inspect/analysis/field_set.h"
#include "inspect/analysis/inspected_file.h"
#include "inspect/analysis/parity.h"

namespace korvane::inspect {

struct Divergence {
  bool computed = false;
  std::string reason;      // why not, when not computed
  double largest = 0.0;    // largest |div F| over the interior nodes (field units / m)
  int at[3] = {0, 0, 0};   // its node (the first interior node when all are zero)
  double field_max = 0.0;  // largest |F| over all nodes
  double step = 0.0;       // the smallest of the three steps
  double relative = 0.0;   // largest * step / field_max (0 for a zero field)
};

Divergence divergence(const FieldMap& map, const FieldSet& set);

struct PlaneComponent {
  std::string name;      // "Ex"
  double largest = 0.0;  // largest |value| on the plane
  int at[3] = {0, 0, 0};
  double relative = 0.0;  // over the largest |F| of the set
};

struct PlaneCheck {
  int axis = 0;  // 0 x, 1 y, 2 z
  int code = 0;
  bool known_code = true;   // 1 or 2
  double first_node = 0.0;  // coordinate of node 1 along the axis: 0 on the plane
  std::vector<PlaneComponent> odd;
};

// The checks of every axis whose output code is not 0, for one set.
std::vector<PlaneCheck> plane_checks(const FieldMap& map, const FieldSet& set);

// The values that are NaN or infinite: their count, and the first (x fastest).
struct NonFinite {
  long count = 0;
  std::string component;  // "Ez"
  int at[3] = {0, 0, 0};
};

// What the checks found on one set.
struct SetChecks {
  FieldSet set;
  Divergence divergence;
  std::vector<PlaneParity> parities;  // about each plane the grid is symmetric about
  std::vector<PlaneCheck> kept;       // on each plane the file keeps
};

struct CheckReport {
  std::string text;
  bool fault = false;  // a value that is NaN or infinite, a plane whose parities match no
                       // code, a jump, a kept plane's odd component that is not zero
  double tolerance = 0.0;
  NonFinite non_finite;
  std::vector<SetChecks> sets;
};

// Whether an odd component on a kept plane is zero within `tolerance`.
inline bool vanishes(const PlaneComponent& p, double tolerance) { return p.relative <= tolerance; }

// The values that are NaN or infinite (a fault: their count and the first node), the
// divergence of each set (a figure to judge), the parities about each plane the grid is
// symmetric about, and the odd components on each kept plane, both judged against
// `tolerance` (relative to the largest magnitude of the set): the findings, and the text
// of the report.
CheckReport check_report(const InspectedFile& file, double tolerance);

}  // namespace korvane::inspect
