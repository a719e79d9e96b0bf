#include "driver/source_table.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "driver/phase_list.h"
#include "import/parallel_load.h"
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
  for (int n = 1; n <= s.Nix; ++n) table.full_nodes[0].push_back(s.Xi(n));
  for (int n = 1; n <= s.Niy; ++n) table.full_nodes[1].push_back(s.Yi(n));
  for (int n = 1; n <= s.Niz; ++n) table.full_nodes[2].push_back(s.Zi(n));
  // The first exported node is the plane of an unfolded z, at 0; otherwise it is the
  // lower bound of the range as shifted and centred.
  const bool z_unfolded = s.symcode % 10 != 0;
  table.z_moved = (z_unfolded ? 0.0 : s.Zimin) - taken.z_first;
}

// Where a record goes and what it holds: its node of the full input grid and that node's
// place, its field from the exported-region arrays the load filled, and how far its printed
// coordinates (`values`, or none) lie from its node, in steps.
struct RecordPlaces {
  const FieldStore& s;
  const RecordPlacement& placement;
  const InputField* arrays[3];
  int code[3];  // the codes unfolded: an axis of N exported nodes puts node m at m + N - 1

  RecordPlaces(const FieldStore& store, const RecordPlacement& how, bool magnetic)
      : s(store), placement(how) {
    arrays[0] = magnetic ? &s.HxIn : &s.ExIn;
    arrays[1] = magnetic ? &s.HyIn : &s.EyIn;
    arrays[2] = magnetic ? &s.HzIn : &s.EzIn;
    code[0] = s.symcode / 100, code[1] = s.symcode / 10 % 10, code[2] = s.symcode % 10;
  }

  // Fills `record` (but its line) for the exported node `node`; returns the largest distance
  // of the printed coordinates from the node, in steps, and its axis.
  double fill(SourceRecord& record, const int node[3], const double* values, int& axis) const {
    double largest = 0.0;
    for (int a = 0; a < 3; ++a) {
      record.node[a] = code[a] != 0 ? node[a] + placement.counts[a] - 1 : node[a];
      if (values == nullptr || !placement.has_coordinates || placement.counts[a] < 2) continue;
      const double expected = s.mesh_lo[a] + (node[a] - 1) * placement.mesh_step[a];
      const double off = std::fabs(values[a] * s.cscale - expected) /
                         std::fabs(placement.mesh_step[a]);
      if (off > largest) largest = off, axis = a;
    }
    record.x = s.Xi(record.node[0]);
    record.y = s.Yi(record.node[1]);
    record.z = s.Zi(record.node[2]);
    for (int c = 0; c < 3; ++c) record.field[c] = (*arrays[c])(node[0], node[1], node[2]);
    return largest;
  }
};

// The second pass, one record at a time as the converter reads them: each record's line
// (where it starts) and printed coordinates. The load read the same records, so a read fails
// here only when the file changed in between, which is reported as the load reports it.
void read_records_in_turn(const RecordPlaces& places, SourceTable& table,
                          std::string_view program) {
  const RecordPlacement& placement = places.placement;
  GroupReader values(program, table_unit, table.table);
  // Walks the same lines to find where a record that spans several starts.
  LineReader lines(program, table_unit, table.table);
  const int n = placement.values_per_record;
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
    int axis = 0;
    const double off = places.fill(record, node, v, axis);
    if (off > table.rounding) {
      table.rounding = off, table.rounding_axis = axis, table.rounding_line = record.line;
    }
    placement.advance(node);
  }
}

// The second pass on the team when every record is one usual line from the first on (record
// r on line r); false when one is not, for read_records_in_turn. The rounding is the first
// largest in record order, as one thread finds it.
bool read_usual_records(const RecordPlaces& places, SourceTable& table, TaskPool& team) {
  const RecordPlacement& placement = places.placement;
  std::vector<double> off(table.records.size());
  std::vector<signed char> axes(table.records.size());
  const bool usual = read_usual_table(
      table.table, placement, team, ChunkLayout{}, [&](std::int64_t r, const double* v) {
        const std::size_t at = static_cast<std::size_t>(r - 1);
        int node[3], axis = 0;
        placement.node_of(r, node);
        table.records[at].line = static_cast<long>(r);
        off[at] = places.fill(table.records[at], node, v, axis);
        axes[at] = static_cast<signed char>(axis);
      });
  if (!usual) return false;
  for (std::size_t at = 0; at < off.size(); ++at) {
    if (off[at] > table.rounding) {
      table.rounding = off[at], table.rounding_axis = axes[at];
      table.rounding_line = static_cast<long>(at + 1);
    }
  }
  return true;
}

// Records a table of one record a line, without reading it again.
void place_records(const RecordPlaces& places, SourceTable& table, TaskPool* team) {
  const std::int64_t records = places.placement.records;
  const int spans = static_cast<int>((records + 65535) / 65536);
  run_spans(team, 0, spans - 1, [&](int first, int last) {
    const std::int64_t end = std::min<std::int64_t>(records, (last + 1) * std::int64_t{65536});
    int node[3], axis = 0;
    for (std::int64_t r = first * std::int64_t{65536} + 1; r <= end; ++r) {
      places.placement.node_of(r, node);
      SourceRecord& record = table.records[static_cast<std::size_t>(r - 1)];
      record.line = static_cast<long>(r);
      places.fill(record, node, nullptr, axis);
    }
  });
}

void read_records(const FieldStore& s, const RecordPlacement& placement, SourceTable& table,
                  std::string_view program, const Replay& how) {
  const RecordPlaces places(s, placement, table.ifield == 1);
  table.records.assign(static_cast<std::size_t>(placement.records), SourceRecord{});
  if (how.one_record_a_line) return place_records(places, table, how.team);
  if (how.team != nullptr && read_usual_records(places, table, *how.team)) return;
  table.rounding = 0.0, table.rounding_axis = 0, table.rounding_line = 0;
  read_records_in_turn(places, table, program);
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
    read_records(s, taken.placement, table, program, how);
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
