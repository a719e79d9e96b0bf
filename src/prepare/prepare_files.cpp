// The files of a preparation: the table, streamed from the export a second time, and the
// drafted control file, each written under a temporary name and renamed when complete.
#include "driver/run_team.h"
#include "prepare/prepare_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "prepare/export_records.h"
#include "prepare/prepare.h"
#include "store/grid.h"
#include "textio/byte_sink.h"
#include "textio/line_reader.h"
#include "util/replacing_file.h"

namespace korvane::prepare {
namespace fs = std::filesystem;
namespace {

// A file written without its final name, which it takes at commit(): until then it can be
// read (reading_path()) but no one sees it, and one not committed leaves nothing behind.
class PendingFile {
 public:
  template <class Body>
  PendingFile(const std::string& path, Body&& body) : file_(path) {
    if (const int error = file_.create()) {
      throw IoError(TextPlace{"", 0, path, 0}.message(std::string("cannot create the file: ") +
                                                      std::strerror(error)));
    }
    FileSink sink("", 0, path);
    sink.adopt(file_.release());
    body(sink);
    sink.close();
  }
  std::string reading_path() const { return file_.reading_path(); }
  void commit() {
    if (const int error = file_.commit()) {
      const std::string what = file_.folder_unsynced()
                                   ? "written, but its folder '" + file_.folder() +
                                         "' cannot be flushed to the disk: "
                                   : std::string("cannot rename the file into place: ");
      throw IoError(TextPlace{"", 0, file_.final_name(), 0}.message(what + std::strerror(error)));
    }
  }

 private:
  ReplacingFile file_;
};

// The place of the largest departure, for messages: "0.0841 of the table's peak field at
// (0.01, 0, 0.1) m (table line 1234)".
std::string departure_place(const DepartureFigure& f) {
  return general_number(f.max, 3) + " of the table's peak field at (" +
         general_number(f.at[0], 7) + ", " + general_number(f.at[1], 7) + ", " +
         general_number(f.at[2], 7) + ") m (table line " + std::to_string(f.line) + ")";
}

// Refuses a map that departs more than --max-departure; warns, without it, of one that
// departs more than departure_warning.
void judge_departure(Plan& plan, const Options& o) {
  const DepartureFigure& f = *plan.figure;
  const std::string what = "the drafted map departs from the table by " + departure_place(f);
  if (o.max_departure && !(f.max <= *o.max_departure)) {
    throw Refusal(what + ", more than --max-departure " + figure(*o.max_departure) +
                  "; nothing is written. --nodes NX NY NZ or --every KX KY KZ drafts another "
                  "grid");
  }
  if (!o.max_departure && !(f.max <= departure_warning)) {
    plan.warnings.push_back(what + ", more than " + figure(departure_warning) +
                            "; review the grid before trusting the map (--nodes, --every)");
  }
  if (f.outside > 0) {
    std::string by;
    for (int a = 0; a < 3; ++a) {
      if (f.outside_by_axis[a] == 0) continue;
      by += std::string(by.empty() ? "" : ", ") + std::to_string(f.outside_by_axis[a]) +
            " beyond " + axis_names[a];
    }
    plan.warnings.push_back(std::to_string(f.outside) + " of the table's " +
                            std::to_string(f.records + f.outside) +
                            " records lie outside the map (" + by +
                            "): the map holds no field there");
  }
}

// A chunk of the table: its lines as they are written, how many they are, and the line the
// work refused.
struct TableChunk {
  std::string text;
  long records = 0;
  RefusedLine refused;
};

// The second pass: each chunk's records split and written out as lines of the table on the
// team, then handed to the sink in order, up to the scan's count of records (an exact
// repeat of the last record, which the scan dropped, comes after them).
class TableWork : public ChunkWork {
 public:
  TableWork(const Plan& plan, const std::string& export_path, ByteSink& out)
      : plan_(plan), path_(export_path), out_(out) {
    const ColumnLayout& cols = plan.scan.layout;
    const int* field = plan.part == Part::real ? cols.real : cols.imaginary;
    const int columns[6] = {cols.coordinate[0], cols.coordinate[1], cols.coordinate[2],
                            field[0],           field[1],           field[2]};
    std::copy(columns, columns + 6, columns_);
  }

  void make_slots(int count) override { chunks_.resize(static_cast<std::size_t>(count)); }

  long work(int slot, std::string_view text, bool file_start) override {
    TableChunk& chunk = chunks_[static_cast<std::size_t>(slot)];
    chunk.text.clear();
    chunk.records = 0;
    RecordSplitter split(path_, plan_.scan.layout);
    return read_lines<Refusal>(text, file_start, chunk.refused,
                               [&](std::string_view line, long number, long) {
                                 if (write_record(split, line, number, chunk.text)) {
                                   ++chunk.records;
                                 }
                               });
  }

  bool take(int slot, long first_line) override {
    const TableChunk& chunk = chunks_[static_cast<std::size_t>(slot)];
    const long wanted = plan_.scan.records - taken_;
    if (!every_node_) {
      // Record by record: the table keeps every K-th node of each axis.
      std::size_t start = 0;
      for (long n = 0; n < std::min(chunk.records, wanted); ++n) {
        const std::size_t end = chunk.text.find('\n', start) + 1;
        if (table_keeps(plan_, taken_ + n)) out_.write(chunk.text.data() + start, end - start);
        start = end;
      }
      taken_ += std::min(chunk.records, wanted);
      if (chunk.records >= wanted) return false;
    } else if (chunk.records >= wanted) {
      // The chunk holds the last record: what follows it is no part of the table.
      std::size_t end = 0;
      for (long n = 0; n < wanted; ++n) end = chunk.text.find('\n', end) + 1;
      out_.write(chunk.text.data(), end);
      taken_ += wanted;
      return false;
    } else {
      out_.write(chunk.text);
      taken_ += chunk.records;
    }
    refuse_in_turn(chunk.refused, first_line, [&](std::string_view line, long number) {
      RecordSplitter split(path_, plan_.scan.layout);
      std::string unused;
      write_record(split, line, number, unused);
    });
    return true;
  }

  // The export's records taken so far, written or left out.
  long taken() const { return taken_; }

 private:
  // Appends to `out` the table's line of the record on `line`, numbered `number` (0 while
  // the number is not known, which is never for the first line): x y z and the chosen part,
  // each number's text as it stands. False for an empty line. Refuses what the splitter
  // refuses, and a line longer than the converter reads.
  bool write_record(RecordSplitter& split, std::string_view line, long number,
                    std::string& out) const {
    if (!split.split(line, number)) return false;
    const std::size_t start = out.size();
    for (int n = 0; n < 6; ++n) {
      if (n > 0) out += ' ';
      out += split.text(columns_[n]);
    }
    // The converter's probe reads the first name_length characters of the table's first
    // line: a line of the table takes no more, or the probe would cut a number.
    const std::size_t length = out.size() - start;
    if (length > static_cast<std::size_t>(name_length)) {
      out.resize(start);
      throw Refusal(TextPlace{"", 0, path_, number}.message(
          "the record's numbers take " + std::to_string(length) +
          " characters on a line of the table; the converter reads " +
          std::to_string(name_length)));
    }
    out += '\n';
    return true;
  }

  const Plan& plan_;
  const std::string& path_;
  ByteSink& out_;
  int columns_[6];
  std::vector<TableChunk> chunks_;
  const bool every_node_ = plan_.every[0] == 1 && plan_.every[1] == 1 && plan_.every[2] == 1;
  long taken_ = 0;
};

}  // namespace

void write_table(const Plan& plan, const std::string& export_path, ByteSink& out,
                 PassSetup setup) {
  LineReader lines("", 0, export_path);
  TableWork work(plan, export_path, out);
  run_pass(export_path, lines, plan.scan.header_lines + 1, nullptr, setup, work);
  if (work.taken() != plan.scan.records) {
    throw IoError(TextPlace{"", 0, export_path, 0}.message(
        "the export changed while it was read"));
  }
}

namespace {

// The table and the control file written without names, the map they give measured, and
// both named unless the measure refuses them.
void write_measured(Plan& plan, const Options& o) {
  const std::unique_ptr<TaskPool> team = run_team();
  PendingFile table(plan.table_path, [&](ByteSink& out) {
    write_table(plan, o.export_path, out, PassSetup{*team, export_chunks});
  });
  std::optional<PendingFile> control;
  const auto write_control = [&](const ControlDraft& draft) {
    control.reset();
    control.emplace(plan.control_path,
                    [&](ByteSink& out) { out.write(render_control_file(draft)); });
    return control->reading_path();
  };
  PendingInputs files{table.reading_path(), write_control(plan.control), write_control};
  plan.figure =
      measure_departure(plan.draft_input, plan.grid, plan.control, files, !o.nodes, *team);
  judge_departure(plan, o);
  table.commit();
  control->commit();
}

}  // namespace

void write_preparation(Plan& plan, const Options& o) {
  std::error_code error;
  const bool folder_existed = fs::exists(o.dir, error);
  fs::create_directories(o.dir, error);
  if (error) {
    throw IoError(TextPlace{"", 0, o.dir, 0}.message("cannot create the folder: " +
                                                                    error.message()));
  }
  if (!o.force) {
    for (const std::string& path : {plan.table_path, plan.control_path}) {
      if (fs::exists(fs::symlink_status(path, error))) {
        throw OverwriteError(quoted_token(path) + " exists; --force replaces it");
      }
    }
  }
  try {
    write_measured(plan, o);
  } catch (const Refusal&) {
    // Nothing of the preparation stays: the files were never named, and a folder made for
    // them goes too.
    if (!folder_existed) fs::remove(o.dir, error);
    throw;
  }
}

}  // namespace korvane::prepare
