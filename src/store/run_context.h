// What each phase of a run is handed besides the field store: who speaks in its messages,
// where the run's files lie, the thread team, and the run's log and warnings. The store
// holds the run's values; the context holds what belongs to the caller, so that the
// converter, korvane-prepare and korvane-inspect run the same phases in their own voice.
#pragma once

#include <string>
#include <string_view>

#include "store/field_store.h"
#include "textio/errors.h"
#include "textio/line_chunks.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

struct RunContext {
  RunContext(std::string_view speaker, ListWriter& run_log, Warnings& run_warnings,
             TaskPool* run_team = nullptr)
      : program(speaker), log(run_log), warnings(run_warnings), team(run_team) {}

  std::string_view program;  // first in every located message: the running program's name
  ListWriter& log;           // the run log
  Warnings& warnings;        // doubtful input that does not stop the run
  TaskPool* team = nullptr;  // the thread team; null runs everything on the caller
  std::string folder = ".";  // where the names the control file gives are taken
  std::string table;         // a table read instead of the one the control file names
  ChunkLayout layout;        // how a parallel read cuts the table into chunks
};

// The table's path as the phases open it: `run.table` when given, else the control file's
// name (fname) taken in `run.folder`. The converter runs in that folder and passes ".",
// which leaves the name as it stands, as every message shows it; so does an empty folder or
// an absolute name. Does not throw but for std::bad_alloc.
std::string table_path(const FieldStore& store, const RunContext& run);

}  // namespace korvane
