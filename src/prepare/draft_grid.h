// The output grid korvane-prepare drafts, chosen on korvane's own view of the table: the
// bounds its scan takes (the first and the last record, times cscale), its unfolding and
// z placement, its node layout and its test for the same grid. Wherever it can, the output
// lies on the table's own nodes, where korvane's transfer gives each node's value unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "store/grid_rules.h"

namespace korvane::prepare {

// What korvane will read: the coordinates of the table's first and last records (table
// units), the table's nodes along x, y and z, and the control values the grids depend on.
struct DraftInput {
  double first[3] = {}, last[3] = {};
  int counts[3] = {};
  double cscale = 1;
  std::int32_t isym[3] = {}, ksym[3] = {};
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
// - an axis whose input nodes fall on both ends of the output's range keeps them: all of
//   them when they fit the output's capacity, else every k-th where k divides their
//   intervals (so the range is kept) and leaves at least half the capacity's intervals;
// - any other axis takes the finest grid the capacity allows, which korvane interpolates.
// A node within 1e-6 m (korvane's figure for the same grid) and within a thousandth of a
// step is the same node. (A last output node that the layout puts a rounding past the input
// grid's end is still on it: korvane takes it as on that end node.)
// Needs codes of 0 to 2 and counts of at least 3 that fit korvane's input capacity after
// unfolding. Takes the converter's grid rules (grid_rules.h) on plain values; reads no
// file.
GridDraft draft_grid(const DraftInput& input);

}  // namespace korvane::prepare
