#include "driver/conversion.h"

#include "control/control_file.h"
#include "import/table_import.h"
#include "output/field_file.h"
#include "regrid/regrid.h"
#include "symmetry/unfold.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane {
namespace {

// The magnetic constant 4 pi 1e-3 in Gs*m/A, logged for the user's reference.
constexpr double magnetic_constant = 0.012566370614359173;

void run_phases(FieldStore& s, ListWriter& log, Warnings& warnings) {
  s.mu0 = magnetic_constant;
  log.record(" mu0 = ", s.mu0, " Gs*m/A ");
  log.record(" ------------------------------ ");

  read_control_file(s);
  check_control_values(s);

  probe_table(s, log);
  find_input_grid(s, log);
  check_input_grid(s);
  shift_z(s, log);
  fill_grid(s, warnings);
  scale_field(s);

  unfold_symmetry(s);
  centre_z(s, log);

  setup_output_grid(s, log);
  transfer_field(s, log);

  write_field_file(s, log, warnings);
  write_summary(s, log);
}

}  // namespace

RunOutcome run_conversion(FieldStore& store, Warnings& warnings) {
  RunOutcome outcome;
  FileSink log_file(log_unit, log_file_name);
  try {
    log_file.open_truncate();
    // Each record reaches the file as it is written: a log that cannot be written stops
    // the run there, before the field file replaces an earlier one.
    log_file.write_through_lines();
    ListWriter log(log_file);
    try {
      run_phases(store, log, warnings);
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
