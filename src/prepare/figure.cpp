#include "prepare/figure.h"

#include <algorithm>

#include "departure/departure.h"
#include "driver/phase_list.h"
#include "driver/source_table.h"
#include "fieldfile/field_file.h"
#include "fieldfile/field_reader.h"
#include "prepare/cli.h"
#include "prepare/export_columns.h"
#include "prepare/prepare.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane::prepare {
namespace {

class IgnoredWarnings : public Warnings {
 public:
  void warn(const std::string&) override {}
};

// The phases run again on the replay's store: in the tool's voice, on its team, their log
// and warnings of no use here (the replay kept the warnings that matter).
struct QuietRun {
  explicit QuietRun(TaskPool& team) : run(program_name, log, warnings, &team) {}
  StringSink log_text;
  ListWriter log{log_text};
  IgnoredWarnings warnings;
  RunContext run;

  void phases(FieldStore& s, Phase first, Phase last, const std::string& control = "",
              ByteSink* field_file = nullptr) {
    RunPlan plan;
    plan.first = first, plan.last = last;
    plan.control = control;
    plan.field_file = field_file;
    run_phase_list(s, run, plan);
  }
};

int total_nodes(const GridCandidate& c) { return c.counts[0] * c.counts[1] * c.counts[2]; }

// The order of the candidates: the smallest largest departure, then the smallest rms; at a
// tie the table's own nodes, then the fewer nodes.
bool departs_less(const GridCandidate& a, const GridCandidate& b) {
  if (a.max != b.max) return a.max < b.max;
  if (a.rms != b.rms) return a.rms < b.rms;
  if (a.own != b.own) return a.own;
  return total_nodes(a) < total_nodes(b);
}

// The drafts tried along axis `a`: the drafted nodes where they are the table's own, else
// the finest grid and every k-th of the table's nodes for each k that fits.
std::vector<int> axis_options(const DraftInput& in, const GridDraft& draft, int a) {
  if (draft.axis[a].own) return {-1};
  std::vector<int> options = {0};
  for (int k : strides_that_fit(in, a)) options.push_back(k);
  return options;
}

// The map of the grid with `stride` on the store's full input grid, measured in memory.
GridCandidate try_grid(FieldStore& s, const SourceTable& table, DraftInput in,
                       const int stride[3], TaskPool& team) {
  for (int a = 0; a < 3; ++a) in.choice[a].stride = stride[a];
  const GridDraft drafted = draft_grid(in);
  s.Nox = drafted.axis[0].count, s.Noy = drafted.axis[1].count, s.Noz = drafted.axis[2].count;
  QuietRun(team).phases(s, Phase::output_grid, Phase::transfer);
  const SourceComparison c =
      compare_with_source(*map_of_store(s), table, 1.0, &team, /*each_record=*/false);
  GridCandidate g;
  g.own = true;
  for (int a = 0; a < 3; ++a) {
    g.stride[a] = stride[a];
    g.counts[a] = drafted.axis[a].count;
    g.own = g.own && drafted.axis[a].own;
  }
  g.max = c.max, g.rms = c.rms;
  return g;
}

// Tries the candidate grids: x and y together, since they share aper, then z with the
// best of them. Best first; empty when the draft leaves nothing to choose.
std::vector<GridCandidate> try_candidates(FieldStore& s, const SourceTable& table,
                                          const DraftInput& in, const GridDraft& draft,
                                          TaskPool& team) {
  std::vector<int> options[3];
  for (int a = 0; a < 3; ++a) options[a] = axis_options(in, draft, a);
  std::vector<GridCandidate> tried;
  if (options[0].size() * options[1].size() * options[2].size() == 1) return tried;
  for (int x : options[0]) {
    for (int y : options[1]) {
      const int stride[3] = {x, y, options[2][0]};
      tried.push_back(try_grid(s, table, in, stride, team));
    }
  }
  const GridCandidate best_xy = *std::min_element(tried.begin(), tried.end(), departs_less);
  for (std::size_t n = 1; n < options[2].size(); ++n) {
    const int stride[3] = {best_xy.stride[0], best_xy.stride[1], options[2][n]};
    tried.push_back(try_grid(s, table, in, stride, team));
  }
  std::stable_sort(tried.begin(), tried.end(), departs_less);
  return tried;
}

// The figure of the map as the file holds it: the control file as written read again,
// the grids laid out, the field transferred and rendered in the file's format into memory,
// read back, and measured.
DepartureFigure measure_file(FieldStore& s, const SourceTable& table, const std::string& control,
                             TaskPool& team) {
  QuietRun quiet(team);
  quiet.phases(s, Phase::control, Phase::control, control);
  StringSink bytes;
  quiet.phases(s, Phase::output_grid, Phase::field_file, control, &bytes);
  const TripleSet triple = table.ifield == 1 ? TripleSet::magnetic : TripleSet::electric;
  const auto map = read_field_bytes(bytes.text, field_file_name(s.nfile), triple);
  const SourceComparison c = compare_with_source(*map, table, 1.0, &team, /*each_record=*/false);
  DepartureFigure f;
  f.max = c.max, f.rms = c.rms;
  f.records = c.all.records, f.outside = c.outside;
  std::copy(c.outside_by_axis, c.outside_by_axis + 3, f.outside_by_axis);
  const Worst* worst = &c.all.worst[0];
  for (const Worst& w : c.all.worst) {
    if (w.relative > worst->relative) worst = &w;
  }
  f.at[0] = worst->x, f.at[1] = worst->y, f.at[2] = worst->z;
  f.line = worst->line;
  return f;
}

}  // namespace

DepartureFigure measure_departure(DraftInput input, GridDraft& draft, ControlDraft& control,
                                  PendingInputs& files, bool candidates, TaskPool& team) {
  StorePtr store = make_store();
  Replay how;
  how.control = files.control;
  how.table = files.table;
  how.team = &team;
  how.one_record_a_line = true;  // the table korvane-prepare writes
  const SourceTable table = replay_source_table(*store, program_name, how);
  std::vector<GridCandidate> tried;
  if (candidates) tried = try_candidates(*store, table, input, draft, team);
  if (!tried.empty()) {
    for (int a = 0; a < 3; ++a) input.choice[a].stride = tried.front().stride[a];
    draft = draft_grid(input);
    for (int a = 0; a < 3; ++a) control.counts[a] = draft.axis[a].count;
    files.control = files.rewrite_control(control);
  }
  DepartureFigure figure = measure_file(*store, table, files.control, team);
  if (!tried.empty()) {
    // The chosen grid's figure as the file will hold it.
    tried.front().max = figure.max, tried.front().rms = figure.rms;
  }
  figure.candidates = std::move(tried);
  return figure;
}

std::string describe_candidate(const GridCandidate& c) {
  std::string text = std::to_string(c.counts[0]) + " x " + std::to_string(c.counts[1]) + " x " +
                     std::to_string(c.counts[2]);
  std::string how;
  for (int a = 0; a < 3; ++a) {
    const std::string along =
        c.stride[a] < 0   ? "the table's nodes"
        : c.stride[a] == 0 ? "the finest grid"
                           : "every " + ordinal(c.stride[a]) + " node";
    how += std::string(a == 0 ? "" : ", ") + axis_names[a] + " " + along;
  }
  return text + " (" + how + ")";
}

}  // namespace korvane::prepare
