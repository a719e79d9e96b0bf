// The departure the drafted map will have, before anything is converted: the converter's
// phase list run in this process on the table and the control file as written, the map
// rendered as its format renders it and read back, and measured as korvane-inspect --source
// measures it. Where korvane must interpolate, the candidate grids are tried and the one
// that departs least is drafted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "control/control_records.h"
#include "prepare/draft_grid.h"
#include "util/task_pool.h"

namespace korvane::prepare {

// One output grid tried, and how far its map departs from the table.
struct GridCandidate {
  int stride[3] = {-1, -1, -1};  // as AxisChoice: -1 as drafted, 0 the finest, k every k-th
  int counts[3] = {};
  bool own = false;  // every axis on the table's own nodes
  double max = 0, rms = 0;
};

// The figure a preparation reports: the largest departure relative to the table's peak
// field, where it is, the rms, and what lies outside the map.
struct DepartureFigure {
  double max = 0, rms = 0;
  double at[3] = {};  // the node of the largest departure (metres)
  long line = 0;      // its line in the table
  long records = 0, outside = 0;
  long outside_by_axis[3] = {};
  std::vector<GridCandidate> candidates;  // the grids tried, best first (empty: none tried)
};

// The files the measure reads, written but not yet in place: paths by which they can be
// read, and a way to write the control file again when the measure drafts another grid.
struct PendingInputs {
  std::string table;
  std::string control;
  std::function<std::string(const ControlDraft&)> rewrite_control;  // returns its new path
};

// Measures the map `draft` (with `input`, the draft's view of the table) gives and, where
// an axis must be interpolated and `try_candidates` holds, tries the candidate grids; the
// best is written into `draft` and `control` (and the control file again). Throws what the
// replay throws (SourceError) for a table or control file korvane would refuse.
DepartureFigure measure_departure(DraftInput input, GridDraft& draft, ControlDraft& control,
                                  PendingInputs& files, bool try_candidates, TaskPool& team);

// "25 x 25 x 201, every 7th node along x and y, the finest along z" and the like.
std::string describe_candidate(const GridCandidate& candidate);

}  // namespace korvane::prepare
