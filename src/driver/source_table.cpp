#include "driver/source_table.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "driver/phase_list.h"
#include "import/record_placement.h"
#include "import/table_import.h"
#include "store/field_store.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/line_reader.h"
#include "textio/list_writer.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

class KeptWarnings : public Warnings {
 public:
  explicit KeptWarnings(std::vector<std::string>& texts) : texts_(texts) {}
  void warn(const std::string& text) override { texts_.push_back(text); }

 private:
  std::vector<std::string>& texts_;
};

bool holds_value(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) { return !is_separator(c); });
}

// What the replay takes from the phase list mid-way.
struct Taken {
  RecordPlacement placement;  // the exported region's, before the unfolding
  double z_first = 0.0;       // the first exported node's z before the shift
};

// Runs the converter's phase list from the control file to the z centring on `s`; fills
// what `table` keeps of the run and returns where the first exported node lies in z. The
// log it writes is of no use here.
double run_import(FieldStore& s, SourceTable& table, RunContext& run, Taken& taken) {
  RunPlan plan;
  plan.control = table.control;
  plan.last = Phase::z_centring;
  plan.after = [&](Phase phase, const FieldStore& done) {
    if (phase == Phase::control) {
      table.ifield = done.ifield;
      table.fscale = done.fscale, table.cscale = done.cscale;
      table.isym[0] = done.isym_x, table.isym[1] = done.isym_y, table.isym[2] = done.isym_z;
      table.ksym[0] = done.ksym_x, table.ksym[1] = done.ksym_y, table.ksym[2] = done.ksym_z;
      table.table = table_path(done, run);
    } else if (phase == Phase::input_grid) {
      table.ireim = done.ireim, table.iord = done.iord;
      table.counts[0] = done.Nix, table.counts[1] = done.Niy, table.counts[2] = done.Niz;
      taken.z_first = done.Zimin;
    } else if (phase == Phase::scaling && !taken.placement.set_up(done)) {
      // Before the unfolding: the placement is that of the exported region.
      throw std::logic_error("read_source_table: loop order " + std::to_string(done.iord) +
                             " is none of the six");
    }
  };
  run_phase_list(s, run, plan);
  table.z_half_kept = s.z_half_kept != 0;
  // The first exported node is the plane of an unfolded z, at 0; otherwise it is the
  // lower bound of the range as shifted and centred.
  const bool z_unfolded = s.symcode % 10 != 0;
  const double z_start = z_unfolded ? 0.0 : s.Zimin;
  table.z_moved = z_start - taken.z_first;
  return z_start;
}

// The second pass: each record's line and coordinates, its field from the exported-region
// arrays the load filled. The load read the same records, so a read fails here only when
// the file changed in between, which is reported as the load reports it. A record's z
// moves as the exported region does: its offset from the first node is kept, and the first
// node goes to `z_start`.
void read_records(const FieldStore& s, const RecordPlacement& placement, SourceTable& table,
                  double z_start, std::string_view program) {
  GroupReader values(program, table_unit, table.table);
  // Walks the same lines to find where a record that spans several starts.
  LineReader lines(program, table_unit, table.table);
  const int n = placement.values_per_record;
  const InputField* arrays[6] = {&s.ExIn, &s.EyIn, &s.EzIn, &s.HxIn, &s.HyIn, &s.HzIn};
  // The mesh as the scan found it, before any move in z (for a table without coordinates,
  // the grid it built from the control values).
  const double lower[3] = {s.mesh_lo[0], s.mesh_lo[1], s.mesh_lo[2]};
  double step[3];
  for (int a = 0; a < 3; ++a) {
    step[a] = placement.counts[a] > 1
                  ? node_step(s.mesh_lo[a], s.mesh_hi[a], placement.counts[a])
                  : 0.0;
  }

  table.records.resize(static_cast<std::size_t>(placement.records));
  int node[3] = {1, 1, 1};
  double v[9];
  GroupFault fault;
  std::string_view text;
  for (std::int64_t r = 1; r <= placement.records; ++r) {
    const long before = values.line_number();
    if (values.try_read_reals(v, n, fault) != GroupStatus::complete) {
      values.raise(fault, n,
                   "record " + std::to_string(r) + " of the " + std::to_string(placement.records) +
                       " the input grid needs");
    }
    SourceRecord& record = table.records[static_cast<std::size_t>(r - 1)];
    record.line = values.line_number();
    bool found = false;
    for (long l = before + 1; l <= values.line_number() && lines.next(text); ++l) {
      if (!found && holds_value(text)) record.line = l, found = true;
    }
    double at[3];
    for (int a = 0; a < 3; ++a) {
      at[a] = placement.has_coordinates ? v[a] * s.cscale
                                        : static_cast<double>(node[a] - 1) * step[a] + lower[a];
    }
    record.x = at[0], record.y = at[1];
    record.z = (at[2] - lower[2]) + z_start;
    for (int c = 0; c < 6; ++c) record.field[c] = (*arrays[c])(node[0], node[1], node[2]);
    placement.advance(node);
  }
}

}  // namespace

SourceTable read_source_table(const std::string& control, std::string_view program,
                              TaskPool* team) {
  SourceTable table;
  table.control = control;
  const std::string folder = std::filesystem::path(control).parent_path().string();
  StorePtr store = make_store();
  FieldStore& s = *store;
  StringSink log_text;
  ListWriter log(log_text);
  KeptWarnings warnings(table.warnings);
  RunContext run(program, log, warnings, team);
  if (!folder.empty()) run.folder = folder;
  try {
    Taken taken;
    const double z_start = run_import(s, table, run, taken);
    read_records(s, taken.placement, table, z_start, program);
  } catch (const IoError& error) {
    throw SourceError(error.what());
  } catch (const FatalStop& stop) {
    std::string why = stop.what();
    why.erase(0, why.find_first_not_of(' '));
    why.erase(why.find_last_not_of(' ') + 1);
    throw SourceError(
        TextPlace{program, 0, control}.message("a run of this control file stops: " + why));
  }
  return table;
}

}  // namespace korvane
