#include "driver/phase_list.h"

#include "control/control_file.h"
#include "fieldfile/field_file.h"
#include "import/parallel_load.h"
#include "import/table_import.h"
#include "regrid/regrid.h"
#include "store/units.h"
#include "symmetry/unfold.h"

namespace korvane {
namespace {

constexpr Phase all_phases[] = {
    Phase::start,    Phase::control,    Phase::probe,     Phase::input_grid, Phase::z_shift,
    Phase::load,     Phase::scaling,    Phase::unfolding, Phase::z_centring, Phase::output_grid,
    Phase::transfer, Phase::field_file, Phase::summary,
};

void start_log(FieldStore& s, ListWriter& log) {
  s.mu0 = magnetic_constant;
  log.record(" mu0 = ", s.mu0, " Gs*m/A ");
  log.record(" ------------------------------ ");
}

// The closing block of the log: d_elm, aper, k_s_EH; the output symmetry codes; the first
// and last output node coordinate along x, y and z.
void write_summary(const FieldStore& s, ListWriter& log) {
  log.record("d_elm, aper, k_s_EH= ", s.d_elm, s.aper, s.k_s_EH);
  log.record("ksym_x, ksym_y, ksym_z = ", s.ksym_x, s.ksym_y, s.ksym_z);
  log.record("xmws limits= ", s.xmws(1), s.xmws(s.Nox));
  log.record("ymws limits= ", s.ymws(1), s.ymws(s.Noy));
  log.record("zmws limits= ", s.zmws(1), s.zmws(s.Noz));
}

void run_phase(Phase phase, FieldStore& s, RunContext& run, const RunPlan& plan,
               UsualRecords* ahead) {
  // One line a phase, in the order of the run.
  // clang-format off
  switch (phase) {
    case Phase::start: return start_log(s, run.log);
    case Phase::control:
      read_control_file(s, run, plan.control);
      return check_control_values(s);
    case Phase::probe: return probe_table(s, run);
    case Phase::input_grid:
      find_input_grid(s, run, ahead);
      return check_input_grid(s);
    case Phase::z_shift: return shift_z(s, run.log);
    case Phase::load: return fill_grid(s, run, ahead);
    case Phase::scaling: return scale_field(s, run.team);
    case Phase::unfolding: return unfold_symmetry(s, run.team);
    case Phase::z_centring: return centre_z(s, run.log);
    case Phase::output_grid: return setup_output_grid(s, run.log);
    case Phase::transfer: return transfer_field(s, run.log, run.team);
    case Phase::field_file: return write_field_file(s, run, plan.field_file);
    case Phase::summary: return write_summary(s, run.log);
  }
  // clang-format on
}

}  // namespace

const char* phase_name(Phase phase) {
  constexpr const char* names[] = {
      "start",     "control",    "probe",       "input grid", "z shift",    "load",   "scaling",
      "unfolding", "z centring", "output grid", "transfer",   "field file", "summary"};
  return names[static_cast<int>(phase)];
}

void run_phase_list(FieldStore& s, RunContext& run, const RunPlan& plan) {
  UsualRecords ahead;
  UsualRecords* read_ahead = plan.read_ahead ? &ahead : nullptr;
  for (Phase phase : all_phases) {
    if (phase < plan.first) continue;
    run_phase(phase, s, run, plan, read_ahead);
    if (plan.after) plan.after(phase, s);
    if (phase == plan.last) return;
  }
}

}  // namespace korvane
