// The rules that give the converter's grids their extent, on plain values: the output
// region from the control values, the grid the unfolding of symmetry planes leaves, and the
// test for the same grid. The converter's phases apply them to the store; korvane-prepare
// drafts with them and korvane-inspect replays with them, so none of the three can drift.
// Lengths in metres. Nothing here allocates or throws.
#pragma once

#include <cstdint>

namespace korvane {

// Bounds and node counts of a grid, by axis (0 x, 1 y, 2 z).
struct GridExtent {
  double lower[3] = {};
  double upper[3] = {};
  std::int32_t count[3] = {};
};

// The region a field map covers: -aper..aper in x and y, -(d_elm / 2)..d_elm / 2 in z, each
// from 0 instead on an axis whose symmetry code is not 0 (the map starts at its plane).
// Both the output grid (the codes ksym) and the grid of a table without coordinates (the
// codes isym, the control counts) take it. Fills the bounds only.
void region_bounds(double aper, double d_elm, const std::int32_t codes[3], GridExtent& region);

// The z placement of the input grid. The table's z range is first moved to start at 0
// (when it does not); after the unfolding it is centred on 0 (when it is not symmetric),
// except for a z half that the output keeps, which stays from z = 0 up where the output grid
// starts. Each returns whether the range moved.
bool shift_z_range(double& lower, double& upper);
bool centre_z_range(double& lower, double& upper, bool z_half_kept);

// Whether a plane is unfolded: the table declares it (code not 0) and the output does not
// keep it with the same code.
constexpr bool unfolds_plane(std::int32_t isym, std::int32_t ksym) {
  return isym != 0 && isym != ksym;
}

// What the unfolding leaves of the exported grid.
struct UnfoldedGrid {
  GridExtent grid;            // the full input grid
  std::int32_t isym[3] = {};  // the export codes with those the output keeps cleared
  std::int32_t symcode = 0;   // 100 isym_x + 10 isym_y + isym_z, after the clearing
  bool z_half_kept = false;   // a z half the output keeps: it stays from z = 0
  bool valid = false;         // symcode is one of the 27 cases (each digit 0 to 2)
};

// The grid unfold_symmetry leaves from the exported grid `exported` (counts and bounds as
// found, after any z shift), without touching the field: each export code equal to the
// output's is cleared (z_half_kept judged before, on the codes as read); an unfolded axis of
// N nodes has 2N - 1, the plane node shared, from -upper to upper. A symcode that is none
// of the 27 cases leaves the grid as it is.
UnfoldedGrid unfold_grid(const GridExtent& exported, const std::int32_t isym[3],
                         const std::int32_t ksym[3]);

// Two bounds closer than this (strictly) are the same bound: the converter then copies the
// field node for node rather than interpolate it.
inline constexpr double same_grid_tolerance = 1e-6;  // metres

// True when the field can be copied node for node: every bound of `input` within
// same_grid_tolerance of `output`'s, the same counts, and nothing unfolded (symcode 0).
bool same_grid(const GridExtent& input, const GridExtent& output, std::int32_t symcode);

}  // namespace korvane
