#include "driver/conversion.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "control/control_file.h"
#include "import/parallel_load.h"
#include "import/table_import.h"
#include "fieldfile/field_file.h"
#include "regrid/regrid.h"
#include "symmetry/unfold.h"
#include "textio/byte_sink.h"
#include "textio/group_reader.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {
namespace {

// The magnetic constant 4 pi 1e-3 in Gs*m/A, logged for the user's reference.
constexpr double magnetic_constant = 0.012566370614359173;

// The closing block of the log: d_elm, aper, k_s_EH; the output symmetry codes; the first
// and last output node coordinate along x, y and z.
void write_summary(const FieldStore& s, ListWriter& log) {
  log.record("d_elm, aper, k_s_EH= ", s.d_elm, s.aper, s.k_s_EH);
  log.record("ksym_x, ksym_y, ksym_z = ", s.ksym_x, s.ksym_y, s.ksym_z);
  log.record("xmws limits= ", s.xmws(1), s.xmws(s.Nox));
  log.record("ymws limits= ", s.ymws(1), s.ymws(s.Noy));
  log.record("zmws limits= ", s.zmws(1), s.zmws(s.Noz));
}

void run_phases(FieldStore& s, ListWriter& log, Warnings& warnings, TaskPool& pool) {
  s.mu0 = magnetic_constant;
  log.record(" mu0 = ", s.mu0, " Gs*m/A ");
  log.record(" ------------------------------ ");

  read_control_file(s);
  check_control_values(s);

  probe_table(s, log);
  // The scan reads and places the load's records as it counts them: one pass of parsing.
  UsualRecords ahead;
  find_input_grid(s, log, &pool, {}, &ahead);
  check_input_grid(s);
  shift_z(s, log);
  fill_grid(s, warnings, &pool, {}, &ahead);
  scale_field(s, &pool);

  unfold_symmetry(s, &pool);
  centre_z(s, log);

  setup_output_grid(s, log);
  transfer_field(s, log, &pool);

  write_field_file(s, log, warnings, &pool);
  write_summary(s, log);
}

// A team of `threads`, or the caller alone when the system cannot start more.
std::unique_ptr<TaskPool> make_pool(int threads) {
  try {
    return std::make_unique<TaskPool>(threads);
  } catch (const std::system_error&) {
    return std::make_unique<TaskPool>(1);
  }
}

}  // namespace

int run_threads(const char* setting) {
  const int usable = usable_processors();
  if (setting == nullptr) return usable;
  std::int32_t cap = 0;
  const TokenStatus status = parse_integer(setting, cap);
  // A count beyond 32 bits asks for no cap at all.
  if (status == TokenStatus::out_of_range && setting[0] != '-') return usable;
  if (status != TokenStatus::ok || cap < 1) {
    std::string shown = printable(std::string_view(setting).substr(0, 40));
    if (std::string_view(setting).size() > 40) shown += "...";
    throw std::invalid_argument(std::string(threads_variable) + "='" + shown +
                                "' is not a positive integer (the most threads a run uses)");
  }
  return std::min(cap, usable);
}

RunOutcome run_conversion(FieldStore& store, Warnings& warnings, int threads) {
  std::unique_ptr<TaskPool> pool = make_pool(threads);
  RunOutcome outcome;
  FileSink log_file(converter_name, log_unit, log_file_name);
  try {
    log_file.open_truncate();
    // Each record reaches the file as it is written: a log that cannot be written stops
    // the run there, before the field file replaces an earlier one.
    log_file.write_through_lines();
    ListWriter log(log_file);
    try {
      run_phases(store, log, warnings, *pool);
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
