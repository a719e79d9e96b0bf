// Regridding: the node coordinates of the full input grid and of the output grid, the
// same-grid test, the direct transfer and the 19-point interpolation.
#pragma once

#include "store/field_store.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

// Lays out Xi, Yi, Zi from the full input grid's bounds and counts and xmws, ymws, zmws
// from aper, d_elm, ksym_x/y/z and Nox, Noy, Noz (node n at (n - 1) * step + lower bound),
// and logs the " Full input grid " and " Output grid parameters " blocks. Lengths in metres.
void setup_output_grid(FieldStore& store, ListWriter& log);

// same_grid of grid_rules.h on the store's full input grid, output grid and symcode.
bool same_grid(const FieldStore& store);

// Logs the transfer decision; then copies the six full-grid arrays node for node, or
// checks that the full grid can be interpolated (FatalStop otherwise) and interpolates
// every output node (z planes on the team's threads when it has more than one).
void transfer_field(FieldStore& store, ListWriter& log, TaskPool* team = nullptr);

// Copies ExFull .. HzFull onto ExOut .. HzOut over Nox x Noy x Noz nodes.
void transfer_direct(FieldStore& store);

// FatalStop unless the full grid has at least 3 nodes and an increasing step on each axis.
void check_interpolation_grid(const FieldStore& store);

// The field at (xo, yo, zo) by the second-order formula over 19 nodes of the full input
// grid: the nearest node (moved inward at the ends), its 6 face and 12 edge neighbours.
// fe and fh receive the electric and magnetic x, y, z components. A point past an end
// node by no more than 1e-9 of that axis's step is taken as on that node; a point further
// outside the grid along any axis (or not a number) gives zeros. Reads the store only; needs a grid
// that passed check_interpolation_grid. Does not allocate or throw.
void interp3d(const FieldStore& store, double xo, double yo, double zo, double fe[3],
              double fh[3]);

// Interpolates every output node into ExOut .. HzOut, z outermost, x innermost (each
// node depends on its own coordinates alone; interpolate.cpp says why this order). With a
// team of more than one thread, z planes are interpolated at once, with the same result.
void interpolate_field(FieldStore& store, TaskPool* team = nullptr);

}  // namespace korvane
