#include "driver/conversion.h"

#include <memory>

#include "driver/phase_list.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

RunOutcome run_conversion(FieldStore& store, Warnings& warnings, int threads) {
  const std::unique_ptr<TaskPool> team = make_team(threads);
  RunOutcome outcome;
  FileSink log_file(program_name, log_unit, log_file_name);
  try {
    log_file.open_truncate();
    // Each record reaches the file as it is written: a log that cannot be written stops
    // the run there, before the field file replaces an earlier one.
    log_file.write_through_lines();
    ListWriter log(log_file);
    RunContext run(program_name, log, warnings, team.get());
    try {
      run_phase_list(store, run);
    } catch (const FatalStop& stop) {
      outcome = {1, stop.what()};
    } catch (const IoError& error) {
      outcome = {2, error.what()};
    }
    // The log keeps every record written before the end, whatever the end.
    log_file.close();
  } catch (const IoError& error) {
    if (outcome.status == 0) outcome = {2, error.what()};
  }
  return outcome;
}

}  // namespace korvane
