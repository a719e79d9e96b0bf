#include "driver/source_table.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "driver/phase_list.h"
#include "import/record_placement.h"
#include "import/table_import.h"
#include "regrid/regrid.h"
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

// Runs the converter's phase list from the control file on `s`, as far as `how` says but at
// least to the output grid; fills what `table` keeps of the run. The log it writes is of no
// use here.
void run_import(FieldStore& s, SourceTable& table, RunContext& run, const Replay& how,
                Taken& taken) {
  RunPlan plan;
  plan.control = how.control;
  plan.last = std::max(how.last, Phase::output_grid);
  plan.field_file = how.field_file;
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
    } else if (phase == Phase::output_grid) {
      // What the transfer decides: a copy node for node, or the interpolation.
      table.copied = same_grid(done);
    }
  };
  run_phase_list(s, run, plan);
  table.z_half_kept = s.z_half_kept != 0;
  table.full_counts[0] = s.Nix, table.full_counts[1] = s.Niy, table.full_counts[2] = s.Niz;
  // The first exported node is the plane of an unfolded z, at 0; otherwise it is the
  // lower bound of the range as shifted and centred.
  const bool z_unfolded = s.symcode % 10 != 0;
  table.z_moved = (z_unfolded ? 0.0 : s.Zimin) - taken.z_first;
}

// The second pass: each record's line, its node and the node's place, its field from the
// exported-region arrays the load filled, and how far its printed coordinates lie from its
// node. The load read the same records, so a read fails here only when the file changed in
// between, which is reported as the load reports it.
void read_records(const FieldStore& s, const RecordPlacement& placement, SourceTable& table,
                  std::string_view program) {
  GroupReader values(program, table_unit, table.table);
  // Walks the same lines to find where a record that spans several starts.
  LineReader lines(program, table_unit, table.table);
  const int n = placement.values_per_record;
  const bool magnetic = table.ifield == 1;
  const InputField* arrays[3] = {magnetic ? &s.HxIn : &s.ExIn, magnetic ? &s.HyIn : &s.EyIn,
                                 magnetic ? &s.HzIn : &s.EzIn};
  // An unfolded axis of N exported nodes puts exported node m at full node m + N - 1.
  const int code[3] = {s.symcode / 100, s.symcode / 10 % 10, s.symcode % 10};

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
    for (int a = 0; a < 3; ++a) {
      record.node[a] = code[a] != 0 ? node[a] + placement.counts[a] - 1 : node[a];
      if (!placement.has_coordinates || placement.counts[a] < 2) continue;
      const double expected = s.mesh_lo[a] + (node[a] - 1) * placement.mesh_step[a];
      const double off = std::fabs(v[a] * s.cscale - expected) / std::fabs(placement.mesh_step[a]);
      if (off > table.rounding) {
        table.rounding = off, table.rounding_axis = a, table.rounding_line = record.line;
      }
    }
    record.x = s.Xi(record.node[0]);
    record.y = s.Yi(record.node[1]);
    record.z = s.Zi(record.node[2]);
    for (int c = 0; c < 3; ++c) record.field[c] = (*arrays[c])(node[0], node[1], node[2]);
    placement.advance(node);
  }
}

// Runs `replay` and turns the converter's errors and stops into a SourceError in `program`'s
// voice.
template <class Replay>
void in_voice(std::string_view program, const std::string& control, Replay&& replay) {
  try {
    replay();
  } catch (const IoError& error) {
    throw SourceError(error.what());
  } catch (const FatalStop& stop) {
    std::string why = stop.what();
    why.erase(0, why.find_first_not_of(' '));
    why.erase(why.find_last_not_of(' ') + 1);
    throw SourceError(
        TextPlace{program, 0, control}.message("a run of this control file stops: " + why));
  }
}

}  // namespace

SourceTable replay_source_table(FieldStore& s, std::string_view program, const Replay& how) {
  SourceTable table;
  table.control = how.control;
  const std::string folder = std::filesystem::path(how.control).parent_path().string();
  StringSink log_text;
  ListWriter log(log_text);
  KeptWarnings warnings(table.warnings);
  RunContext run(program, log, warnings, how.team);
  if (!folder.empty()) run.folder = folder;
  run.table = how.table;
  in_voice(program, how.control, [&] {
    Taken taken;
    run_import(s, table, run, how, taken);
    read_records(s, taken.placement, table, program);
  });
  return table;
}

SourceTable read_source_table(const std::string& control, std::string_view program,
                              TaskPool* team) {
  StorePtr store = make_store();
  Replay how;
  how.control = control;
  how.team = team;
  return replay_source_table(*store, program, how);
}

}  // namespace korvane
