// The output grid korvane-prepare drafts, chosen on korvane's own view of the table: the
// bounds its scan takes (the first and the last record, times cscale), its unfolding and
// z placement, its node layout and its test for the same grid. Wherever it can, the output
// lies on the table's own nodes, where korvane's transfer gives each node's value unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/grid_rules.h"

namespace korvane::prepare {

// How the output's nodes along one axis are chosen.
struct AxisChoice {
  // -1: the table's own nodes where they all fit, else the finest grid; 0: the finest grid
  // the output holds; k > 0: every k-th of the table's nodes over the output's range.
  int stride = -1;
  int count = 0;  // when not 0, this many nodes (--nodes), whatever the stride says
};

// What korvane will read: the coordinates of the table's first and last records (table
// units), the table's nodes along x, y and z, and the control values the grids depend on;
// and how each axis's nodes are chosen.
struct DraftInput {
  double first[3] = {}, last[3] = {};
  int counts[3] = {};
  double cscale = 1;
  std::int32_t isym[3] = {}, ksym[3] = {};
  AxisChoice choice[3];
};

struct AxisDraft {
  int count = 0;        // output nodes
  int table_nodes = 0;  // korvane's input nodes along the axis, after unfolding
  bool own = false;     // each output node is one of those nodes
  int from = 0;         // own: the input node (from 1) the output starts at
  int stride = 1;       // own: the output takes every stride-th input node from there
  std::string why;      // not own: why not, for the report
};

struct GridDraft {
  GridExtent input;            // korvane's full input grid: shifted, unfolded, centred
  double aper = 0, d_elm = 0;  // metres
  AxisDraft axis[3];
  bool direct = false;  // korvane copies the field node for node
};

// Drafts aper, d_elm and the output's counts:
// - d_elm spans korvane's z range, and aper the smaller half-width of x and y (the widest
//   box centred on the axis that lies inside the table);
// - an axis whose input nodes fall on both ends of the output's range and fit the output's
//   capacity keeps them all;
// - any other axis takes the finest grid the capacity allows, which korvane interpolates,
//   unless its choice asks for every k-th of the table's nodes or for a count.
// A node within 1e-6 m (korvane's figure for the same grid) and within a thousandth of a
// step is the same node. (A last output node that the layout puts a rounding past the input
// grid's end is still on it: korvane takes it as on that end node.)
// Needs codes of 0 to 2 and counts of at least 3 that fit korvane's input capacity after
// unfolding. Takes the converter's grid rules (grid_rules.h) on plain values; reads no
// file.
GridDraft draft_grid(const DraftInput& input);

// The strides worth trying along axis `a` where the table's nodes fall on both ends of the
// output's range but are more than the output holds: each k that divides their intervals
// and leaves no more than the output's capacity, smallest first. Empty where the nodes fit,
// or do not fall on both ends.
std::vector<int> strides_that_fit(const DraftInput& input, int a);

}  // namespace korvane::prepare
