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

// The largest magnitude |F| of a set over all nodes; non-finite values are left out.
double largest_magnitude(const FieldMap& map, const FieldSet& set);

}  // namespace korvane::inspect
