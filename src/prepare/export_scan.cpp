// The first pass over an export: its header read, then each chunk's records split and
// parsed on the team and taken in the file's order through the mesh walk, the repeated-node
// rule and the figures of the field.
#include "driver/run_team.h"
#include "prepare/export_scan.h"

#include <algorithm>
#include <memory>

#include "prepare/export_figures.h"
#include "prepare/export_header.h"
#include "prepare/export_mesh.h"
#include "prepare/export_records.h"
#include "textio/errors.h"
#include "textio/line_reader.h"

namespace korvane::prepare {
namespace {

// A record as the first pass keeps it between the work on its chunk and its turn.
struct ScannedRecord {
  long place;            // of its line in the chunk (from 0)
  double v[9];           // x y z, real parts, imaginary parts (0 without)
  unsigned char weight;  // its mirror_weights
};

struct ScannedChunk {
  std::vector<ScannedRecord> records;
  std::size_t widest = 0;
  RefusedLine refused;
};

// Reads the record on `line`, numbered `number` (0 while the number is not known, which is
// never for the first line), into `r`; false for an empty line. Refuses what the splitter
// refuses.
bool read_record(RecordSplitter& split, const ColumnLayout& cols, std::string_view line,
                 long number, ScannedRecord& r) {
  if (!split.split(line, number)) return false;
  const bool imaginary = cols.has_imaginary();
  for (int a = 0; a < 3; ++a) {
    r.v[a] = split.number(cols.coordinate[a]);
    r.v[3 + a] = split.number(cols.real[a]);
    r.v[6 + a] = imaginary ? split.number(cols.imaginary[a]) : 0.0;
  }
  r.weight = mirror_weights(r.v);
  return true;
}

// The first pass: each chunk's records split and parsed on the team, then taken in order
// through the mesh, the repeat check and the figures of the field.
class ScanWork : public ChunkWork {
 public:
  ScanWork(const std::string& path, ExportScan& scan, const std::array<int, 3>& every)
      : path_(path), scan_(scan), every_(every), mesh_(path), repeats_(path) {}

  void make_slots(int count) override { chunks_.resize(static_cast<std::size_t>(count)); }

  long work(int slot, std::string_view text, bool file_start) override {
    ScannedChunk& chunk = chunks_[static_cast<std::size_t>(slot)];
    chunk.records.clear();
    chunk.widest = 0;
    RecordSplitter split(path_, scan_.layout);
    const long lines = read_lines<Refusal>(
        text, file_start, chunk.refused, [&](std::string_view line, long number, long place) {
          // Read in place: a record built aside and copied in costs a tenth of the pass.
          ScannedRecord& r = chunk.records.emplace_back();
          if (!read_record(split, scan_.layout, line, number, r)) {
            chunk.records.pop_back();
            return;
          }
          r.place = place;
          chunk.widest = std::max(chunk.widest, split.line().size());
        });
    // The refused line's record is half read.
    if (chunk.refused.place >= 0) chunk.records.pop_back();
    return lines;
  }

  bool take(int slot, long first_line) override {
    const ScannedChunk& chunk = chunks_[static_cast<std::size_t>(slot)];
    const int parts = scan_.layout.has_imaginary() ? 2 : 1;
    for (const ScannedRecord& r : chunk.records) {
      const long line = first_line + r.place;
      if (repeats_.dropped(r.v, line, previous_, mesh_.records() > 0)) continue;
      std::copy(r.v, r.v + 9, previous_);
      const int* index = mesh_.place(r.v, line);
      if (mesh_.records() == 1) std::copy(r.v, r.v + 3, scan_.first);
      if (index[0] % every_[0] == 0 && index[1] % every_[1] == 0 && index[2] % every_[2] == 0) {
        std::copy(r.v, r.v + 3, scan_.last);
      }
      add_to_figures(scan_, r.v, r.weight, index, parts);
    }
    scan_.widest_record = std::max(scan_.widest_record, chunk.widest);
    refuse_in_turn(chunk.refused, first_line, [&](std::string_view line, long number) {
      RecordSplitter split(path_, scan_.layout);
      ScannedRecord r;
      read_record(split, scan_.layout, line, number, r);
    });
    return true;
  }

  // Checks the mesh once every record is taken and fills the scan's counts.
  void finish() {
    scan_.repeat_line = repeats_.repeat_line();
    scan_.records = mesh_.records();
    mesh_.finish(scan_);
  }

 private:
  const std::string& path_;
  ExportScan& scan_;
  std::array<int, 3> every_;
  MeshWalk mesh_;
  RepeatedNode repeats_;
  double previous_[9] = {};
  std::vector<ScannedChunk> chunks_;
};

}  // namespace

std::string describe_order(const int order[3]) {
  return std::string(axis_names[order[0]]) + " fastest, then " + axis_names[order[1]] + ", then " +
         axis_names[order[2]];
}

ExportScan scan_export(const std::string& path, const std::array<int, 3>& every) {
  const std::unique_ptr<TaskPool> team = run_team();
  return scan_export(path, PassSetup{*team, export_chunks}, every);
}

ExportScan scan_export(const std::string& path, PassSetup setup,
                       const std::array<int, 3>& every) {
  ExportScan scan;
  LineReader lines("", 0, path);
  const HeaderLines header = read_header_lines(lines, scan.header_lines);
  if (!header.found) {
    refuse_lfs_pointer(header, path);
    throw Refusal(TextPlace{"", 0, path, 0}.message(
        scan.header_lines == 0 ? "the export holds no record"
                               : "the export holds a header and no record"));
  }
  scan.first_record_line = lines.line_number();
  scan.header_lines = scan.first_record_line - 1;
  scan.layout = read_columns(header, TextPlace{"", 0, path, scan.first_record_line});
  if (scan.layout.from_header) scan.header = header.titles_for(scan.layout.separator);

  ScanWork work(path, scan, every);
  run_pass(path, lines, scan.first_record_line, &header.first_record, setup, work);
  work.finish();
  return scan;
}

}  // namespace korvane::prepare
