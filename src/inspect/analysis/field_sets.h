// The field sets of a field file as the inspect tool shows them, and helpers shared by its
// reports and pictures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fieldfile/field_reader.h"
#include "store/field_store.h"

namespace korvane::inspect {

// One three-component field of the file: E, H, or a triple whose kind the file does not
// tell ("F", shown as "E or H").
struct FieldSet {
  std::string letter;       // "E", "H" or "F"; used in component names and file names
  std::string title;        // "E", "H" or "E or H"
  const OutputField* c[3];  // x, y, z components
  std::string component(int axis) const { return letter + "xyz"[axis]; }
};

// The sets a read found, in file order (electric first).
std::vector<FieldSet> field_sets(const FieldStore& store, FieldSets sets);

// A file as read: its name, what the reader found, and the store holding it.
struct InspectedFile {
  std::string name;
  FieldFileInfo info;
  const FieldStore& store;
};

// Node n of an axis (0 x, 1 y, 2 z), from 1.
double node(const FieldStore& s, int axis, int n);
int node_count(const FieldStore& s, int axis);
// The step of an axis: (last - first) / (count - 1), 0 for a single node.
double step(const FieldStore& s, int axis);
// The node nearest to coordinate 0 along an axis (the first of two at the same distance).
int node_nearest_zero(const FieldStore& s, int axis);

// The largest magnitude |F| of a set over all nodes; non-finite values are left out.
double largest_magnitude(const FieldStore& s, const FieldSet& set);

// A double in the shortest %g form with the given significant digits.
std::string number(double value, int digits = 7);

}  // namespace korvane::inspect
