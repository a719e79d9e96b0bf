// The converter's run as one list of named phases, in their order. The converter runs the
// whole list; korvane-inspect's and korvane-prepare's replays of a run run the same list,
// stopping where they have what they need, so no tool keeps a copy of the order.
#pragma once

#include <functional>
#include <string>

#include "control/control_file.h"
#include "store/field_store.h"
#include "store/run_context.h"
#include "textio/byte_sink.h"

namespace korvane {

enum class Phase {
  start,        // the log's first records: mu0 and a separator
  control,      // the control file and its checks
  probe,        // the table's column layout (ireim)
  input_grid,   // the mesh scan (or the grid of the control values) and its checks
  z_shift,      // the z range moved to start at 0
  load,         // the table's field into the exported-region arrays
  scaling,      // scaled and routed into E or H by ifield
  unfolding,    // the symmetry planes the output does not keep
  z_centring,   // the z range centred on 0
  output_grid,  // both grids' nodes laid out and logged
  transfer,     // copied or interpolated onto the output grid
  field_file,   // the output field file
  summary,      // the log's closing block
};

// The name of a phase, for messages and the benchmark's table.
const char* phase_name(Phase phase);

// How far and how a run of the list goes.
struct RunPlan {
  std::string control = control_file_name;  // the control file's path
  Phase first = Phase::start;               // the store holds what the phases before it give
  Phase last = Phase::summary;              // the list stops after this phase
  // The scan reads and places the load's records as it counts them, when the team has more
  // than one thread: the table is parsed once.
  bool read_ahead = true;
  // The field file's records go here rather than into the file, which is then not touched.
  ByteSink* field_file = nullptr;
  // Called after each phase that ran, with the store as that phase left it: where a replay
  // takes what it needs mid-way.
  std::function<void(Phase, const FieldStore&)> after;
};

// Runs the phases plan.first .. plan.last in order on `store`, in `run`'s voice, folder and
// team, logging to run.log. Throws what the phases throw: FatalStop for a stop of the run,
// IoError for a file that cannot be read or written.
void run_phase_list(FieldStore& store, RunContext& run, const RunPlan& plan = {});

}  // namespace korvane
