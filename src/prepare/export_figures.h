// The figures of an export's field that korvane-prepare chooses the symmetry codes and the
// part from, summed record by record in the first pass: the largest value of each
// component, and the weighted sums that tell each component's parity about each plane
// x, y, z = 0 (ExportScan says how they are read). Nothing here allocates or throws.
#pragma once

#include "prepare/export_scan.h"

namespace korvane::prepare {

// The weights of the node at `c` (x y z as read) about the planes x, y, z = 0: bit `a` set
// when the weight about the plane `a` = 0 is +1, clear when it is -1. A weight is drawn at
// random for each position up to its mirror image in that plane, the same for both.
unsigned char mirror_weights(const double c[3]);

// Adds to the scan's figures the record `v` (x y z, real parts, imaginary parts) at the node
// `index`, with its mirror weights `weights`, for its first `parts` parts (1 or 2).
void add_to_figures(ExportScan& scan, const double v[9], unsigned char weights, const int index[3],
                    int parts);

}  // namespace korvane::prepare
