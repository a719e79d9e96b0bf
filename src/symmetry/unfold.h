// Symmetry unfolding: the exported fraction of a structure mirrored over the planes
// x = 0, y = 0 and z = 0 onto the full input grid.
#pragma once

#include "store/field_store.h"
#include "symmetry/odd_components.h"
#include "util/task_pool.h"

namespace korvane {

// Takes the grid unfold_grid (grid_rules.h) leaves: records whether the table is a z half
// the output keeps (z_half_kept), clears each export code equal to the output's code on its
// axis and sets symcode. Then fills ExFull .. HzFull from ExIn .. HzIn: a plain copy for
// symcode 0; otherwise each unfolded axis of N exported nodes becomes 2N - 1 full nodes
// (the plane node shared), full node n fed from exported node |n - N| + 1, the mirrored half
// (n < N) multiplied by -1 for each component odd at that plane. The plane node keeps its
// exported value. Last, the counts and lower bounds become the unfolded grid's. A symcode
// that is none of the 27 cases copies nothing and leaves the grid. Needs counts that fit
// the arrays after unfolding (the input grid check guarantees it). Fills z planes on the
// team's threads when it has more than one, with the same result. Writes no log.
void unfold_symmetry(FieldStore& store, TaskPool* team = nullptr);

}  // namespace korvane
