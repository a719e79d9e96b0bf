// The parity of each field component about the planes x = 0, y = 0 and z = 0, and the
// symmetry code the parities match.
//
// A plane is looked at when the grid's nodes are symmetric about it (node n and node
// N + 1 - n at opposite coordinates, to 1e-9 of a step). For each component the largest
// |F(mirror) - F| and |F(mirror) + F| over the mirrored pairs (a node on the plane is its
// own mirror) tell how far it is from even and from odd, both over the largest magnitude
// of its set. A converted map is even or odd only to the accuracy of the solver's mesh and
// of the interpolation (whose stencil breaks a tie toward the upper node), not to rounding,
// so the classes are judged against a tolerance.
//
// A wrong symmetry code unfolds a component with the wrong parity: away from the plane the
// result is exactly even or odd, but the exported values on the plane node are kept, so a
// component made odd keeps its non-zero value there and jumps across the plane. Such a
// component is neither even nor odd overall, yet odd over the outer half of the axis, or,
// for a field gathered about the plane (a gap), beyond the few nodes next to the plane that
// the interpolation's stencil reaches from the plane node. An interpolation across a wall or
// a sharp peak next to the plane (an output grid that does not keep the table's nodes)
// overshoots there and leaves the same mark with every code right; comparing the map with
// the table tells the two apart.
#pragma once

#include <string>
#include <vector>

#include "fieldfile/field_map.h"
#include "inspect/analysis/field_set.h"

namespace korvane::inspect {

// Judges parities and kept planes unless --parity-tolerance says otherwise: twice the
// largest departure from parity of real solver exports (4e-2 of the largest magnitude),
// while a wrong code leaves twice the component's value on the plane.
inline constexpr double default_parity_tolerance = 0.1;

enum class Parity {
  zero,     // largest magnitude within the tolerance: either parity fits
  even,     // |F(mirror) - F| within the tolerance
  odd,      // |F(mirror) + F| within the tolerance
  jump,     // odd away from the plane, not at it
  neither,  // not symmetric about the plane
};

struct ComponentParity {
  std::string name;  // "Ex"
  Parity parity = Parity::neither;
  double peak = 0.0;          // largest |F| over the largest magnitude of the set
  double from_even = 0.0;     // largest |F(mirror) - F|, relative
  double from_odd = 0.0;      // largest |F(mirror) + F|, relative
  int at_odd[3] = {1, 1, 1};  // the node of from_odd (the one on the positive side)
};

// What the three parities say about the plane.
enum class PlaneMatch {
  code1,         // normal component odd, the two parallel ones even
  code2,         // normal component even, the parallel ones odd
  any,           // every component zero
  mixed,         // each component even or odd, but in no code's pattern: a fault
  jump,          // a component jumps at the plane: a fault
  not_symmetric  // a component neither even nor odd: the field is not symmetric here
};

struct PlaneParity {
  int axis = 0;                // 0 x, 1 y, 2 z
  bool node_on_plane = false;  // an odd node count
  ComponentParity c[3];
  PlaneMatch match = PlaneMatch::not_symmetric;
  bool fault() const { return match == PlaneMatch::mixed || match == PlaneMatch::jump; }
};

// True when the nodes of an axis are symmetric about coordinate 0 (at least 2 nodes).
bool symmetric_about_zero(const FieldMap& map, int axis);

// The parities of one set about each plane the grid is symmetric about, x then y then z.
// `field_max` is the largest magnitude of the set; relative figures are over it.
std::vector<PlaneParity> plane_parities(const FieldMap& map, const FieldSet& set, double field_max,
                                        double tolerance);

// "code 1 (normal odd, parallel even)" and the like, for the report.
std::string describe(PlaneMatch match);
const char* describe(Parity parity);

}  // namespace korvane::inspect
