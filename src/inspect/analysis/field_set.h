// The three-component fields of a map, as korvane-inspect reports, checks and draws them.
#pragma once

#include <string>
#include <vector>

#include "fieldfile/field_map.h"

namespace korvane::inspect {

// One three-component field of the file: E, H, or a triple whose kind the file does not
// tell ("F", shown as "E or H").
struct FieldSet {
  std::string letter;       // "E", "H" or "F"; used in component names and file names
  std::string title;        // "E", "H" or "E or H"
  const OutputField* c[3];  // x, y, z components
  std::string component(int axis) const { return letter + axis_names[axis]; }
};

// The sets the map holds, in file order (electric first). The sets point into the map.
std::vector<FieldSet> field_sets(const FieldMap& map);

// A node of the map and its place, as reports name it: "(i, j, k), (x, y, z) m".
std::string node_place(const FieldMap& map, const int at[3]);

// The units a converted map holds a lone set in: the converter's scaling leaves the
// electric set in V/cm (fscale x 0.01 on a table in V/m) and the magnetic set as the flux
// density in gauss (fscale 10000 on a table in tesla). A file of both sets (ifield 2)
// holds the table's values unscaled, and a triple of unknown kind has no known unit.
inline constexpr const char* converter_electric_unit = "V/cm";
inline constexpr const char* converter_magnetic_unit = "G";
// The unit of `set` in `map` by the above; nullptr where it is not known.
const char* converter_unit(const FieldMap& map, const FieldSet& set);

// The largest magnitude |F| of a set over all nodes; non-finite values are left out.
double largest_magnitude(const FieldMap& map, const FieldSet& set);

}  // namespace korvane::inspect
