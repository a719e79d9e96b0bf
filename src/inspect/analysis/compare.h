// Two field files side by side: whether their grids agree and, when they do, the largest
// difference of each component.
#pragma once

#include <string>

#include "inspect/analysis/inspected_file.h"

namespace korvane::inspect {

struct CompareReport {
  std::string text;
  bool differs = false;  // another grid, other sets, or a difference above the tolerance
};

// Compares `other` against `file` as the beam code reads them: on each axis whose symmetry
// codes differ, a file that keeps a plane there is unfolded over it (unfolded_map.h), so a
// half or a quarter is compared with the whole map of the same field. Then node
// coordinates (counts equal, each coordinate within 1e-9 of a step of `file`), then for each set
// the two files share (a triple of unknown kind stands for the one set of the other file) and each
// component the largest |difference|, its node, and that difference over the largest magnitude of
// the set in `file`. Differs when a relative difference exceeds `tolerance`, or a value is a number
// in one file and not in the other. Nodes are counted on the grid compared. Does not throw but for
// std::bad_alloc.
CompareReport compare_files(const InspectedFile& file, const InspectedFile& other,
                            double tolerance);

}  // namespace korvane::inspect
