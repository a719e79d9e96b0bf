#include "prepare/export_scan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "prepare/export_records.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/line_reader.h"
#include "textio/token_scanner.h"

namespace korvane::prepare {
namespace {

bool has_letter(std::string_view line) {
  for (char c : line) {
    if (std::isalpha(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

std::string percent(double fraction) { return figure(fraction * 100.0) + " %"; }

// A weight of +1 or -1, drawn at random for each position of a node up to its mirror
// image in the plane `axis` = 0: it depends on |c[axis]| and the other two coordinates, as
// read. Its mean is 0, so a sum that does not cancel by parity is a random walk of the
// size of the root sum of squares of the part that breaks the parity, whatever the
// component's parity about the other planes; a weight of mean 1 would let a component odd
// about x cancel in both sums about z.
double mirror_weight(const double c[3], int axis) {
  auto bits = [](double v) {
    std::uint64_t u;
    v += 0.0;  // -0 and +0 are one position
    std::memcpy(&u, &v, sizeof u);
    return u;
  };
  // splitmix64's finaliser, which carries every input bit into the high bits kept below.
  auto mix = [](std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  std::uint64_t u = mix(bits(std::abs(c[axis])));
  u = mix(u ^ bits(c[(axis + 1) % 3]));
  u = mix(u ^ bits(c[(axis + 2) % 3]));
  return (u >> 63) != 0 ? 1.0 : -1.0;
}

// One node of an axis: the coordinate it was first given with, and the extremes of every
// coordinate given for it since.
struct Node {
  double first, low, high;
};

// Follows the records through the mesh: finds the loop order and the counts as the runs
// end, gives each record its node indices, and keeps each node's coordinates.
class MeshWalk {
 public:
  explicit MeshWalk(const std::string& file) : file_(file) {}

  // Takes the coordinates of the next record (on line `line`); returns its node indices
  // by axis.
  const int* place(const double c[3], long line) {
    if (records_ == 0) {
      for (int a = 0; a < 3; ++a) {
        first_[a] = c[a];
        nodes_[a].push_back({c[a], c[a], c[a]});
      }
      ++records_;
      return index_;
    }
    if (known_ == 3 || !discover(c, line)) advance();
    for (int role = 0; role < known_; ++role) {
      const int a = order_[role];
      auto& nodes = nodes_[a];
      const auto i = static_cast<std::size_t>(index_[a]);
      if (i == nodes.size()) {
        nodes.push_back({c[a], c[a], c[a]});
      } else {
        nodes[i].low = std::min(nodes[i].low, c[a]);
        nodes[i].high = std::max(nodes[i].high, c[a]);
      }
    }
    ++records_;
    return index_;
  }

  long records() const { return records_; }

  // Checks that the records made a whole regular 3D mesh and fills the scan's mesh.
  void finish(ExportScan& scan) const {
    if (known_ < 2) {
      refuse(0, known_ == 0 ? "every record gives the same node: not a 3D mesh"
                            : "a line of " + std::to_string(records_) + " nodes along " +
                                  axis_names[order_[0]] + ", not a 3D mesh");
    }
    if (known_ < 3) {
      const int flat = 3 - order_[0] - order_[1];
      refuse(0, "a plane of " + std::to_string(run_[0]) + " x " +
                    std::to_string(records_ / run_[0]) + " nodes in " + axis_names[order_[0]] +
                    " and " + axis_names[order_[1]] + ", with " + axis_names[flat] + " = " +
                    figure(first_[flat]) + " in every record: not a 3D mesh");
    }
    const long plane = run_[1];
    if (records_ % plane != 0) {
      refuse(0, std::to_string(records_) + " records are not whole planes of " +
                    std::to_string(run_[0]) + " x " + std::to_string(plane / run_[0]) +
                    " nodes: the mesh is incomplete (" + std::to_string(records_ / plane) +
                    " planes and " + std::to_string(records_ % plane) + " records)");
    }
    for (int role = 0; role < 3; ++role) scan.order[role] = order_[role];
    for (int a = 0; a < 3; ++a) {
      const auto& nodes = nodes_[a];
      AxisMesh& m = scan.axis[a];
      m.count = static_cast<int>(nodes.size());
      if (m.count < 3) {
        refuse(0, "only " + std::to_string(m.count) + " nodes along " + axis_names[a] +
                      "; the converter needs at least 3 along each axis");
      }
      m.lo = nodes.front().first;
      m.hi = nodes.back().first;
      m.step = (m.hi - m.lo) / (m.count - 1);
      // The second node lay above the first; a last node below it is no mesh either.
      if (!(m.step > 0)) {
        refuse(0, std::string("the coordinates along ") + axis_names[a] + " go from " +
                      figure(m.lo) + " to " + figure(m.hi) + ": not an increasing mesh");
      }
      for (int i = 0; i < m.count; ++i) {
        const double node = m.lo + i * m.step;
        const Node& n = nodes[static_cast<std::size_t>(i)];
        const double off = std::max(std::abs(n.low - node), std::abs(n.high - node)) / m.step;
        if (!(off <= m.deviation)) {
          m.deviation = off;
          m.worst_node = i;
        }
      }
      if (!(m.deviation <= irregular_step_fraction)) {
        refuse(0, "not a regular mesh: along " + std::string(axis_names[a]) + " (" +
                      std::to_string(m.count) + " nodes from " + figure(m.lo) + " to " +
                      figure(m.hi) + ", step " + figure(m.step) + ") a coordinate lies " +
                      percent(m.deviation) + " of a step from node " +
                      std::to_string(m.worst_node + 1) + " (more than " +
                      percent(irregular_step_fraction) + " is irregular)");
      }
    }
  }

 private:
  [[noreturn]] void refuse(long line, const std::string& what) const {
    throw Refusal(TextPlace{"", 0, file_, line}.message(what));
  }

  // Finds the next axis of the loop order when a record first leaves the run so far, and
  // gives that record its indices; false when the record stays in the run.
  bool discover(const double c[3], long line) {
    int moved[3];
    int count = 0;
    for (int a = 0; a < 3; ++a) {
      bool known = false;
      for (int role = 0; role < known_; ++role) known = known || order_[role] == a;
      if (!known && c[a] != first_[a]) moved[count++] = a;
    }
    if (count == 0) return false;
    if (count > 1) {
      refuse(line, std::string(axis_names[moved[0]]) + " and " + axis_names[moved[1]] +
                       " change together from the first record: not a mesh along the axes"
                       " (a slanted cut?)");
    }
    const int a = moved[0];
    if (c[a] < first_[a]) {
      refuse(line, std::string("the coordinates decrease along ") + axis_names[a] + " (from " +
                       figure(first_[a]) + " to " + figure(c[a]) +
                       "); export with increasing coordinates");
    }
    if (known_ == 1) run_[0] = records_;
    if (known_ == 2) {
      if (records_ % run_[0] != 0) {
        refuse(line, std::string(axis_names[a]) + " changes after " + std::to_string(records_) +
                         " records, not after whole runs of " + std::to_string(run_[0]) +
                         ": the mesh is incomplete or irregular");
      }
      run_[1] = records_;
    }
    order_[known_++] = a;
    // The record is node 1 of the new axis and node 0 of every faster one.
    for (int role = 0; role + 1 < known_; ++role) index_[order_[role]] = 0;
    index_[a] = 1;
    return true;
  }

  // The indices of the record being placed, from those of the record before: the fastest
  // axis counts up and carries into the next at the end of its run; the slowest axis found
  // so far has no known run and only counts up.
  void advance() {
    for (int role = 0; role < known_; ++role) {
      const int a = order_[role];
      ++index_[a];
      if (role == known_ - 1 || index_[a] < run_length(role)) return;
      index_[a] = 0;
    }
  }

  long run_length(int role) const { return role == 0 ? run_[0] : run_[role] / run_[role - 1]; }

  std::string file_;
  long records_ = 0;
  double first_[3] = {};
  int order_[3] = {0, 0, 0};
  int known_ = 0;         // axes of the loop order found so far
  long run_[2] = {0, 0};  // records in a run of the fastest axis, and in a plane
  int index_[3] = {0, 0, 0};
  std::vector<Node> nodes_[3];
};

// The lines before the first record: the column titles among them, and the first record.
struct HeaderLines {
  bool found = false;         // a record was found
  std::string titles;         // the first line with a letter ("" for none)
  std::string listed_titles;  // the first with a letter and a ';'
  std::string first_record;   // as it stands, byte order mark and all

  const std::string& titles_for(Separator separator) const {
    return separator == Separator::semicolons && !listed_titles.empty() ? listed_titles : titles;
  }
};

// Reads every line before the first that starts with a number (its first value, up to a
// blank, a comma or a ';'), counting those that hold something in `header_lines`. The reader
// stops on the first record.
HeaderLines read_header_lines(LineReader& lines, long& header_lines) {
  HeaderLines header;
  std::string_view line;
  while (lines.next(line)) {
    const std::string_view text = without_byte_order_mark(line, lines.line_number());
    std::string_view first;
    TokenScanner scanner(text);
    if (!scanner.next_token(first)) continue;
    double value;
    if (parse_real(first.substr(0, first.find(';')), value) == TokenStatus::ok) {
      header.found = true;
      header.first_record = std::string(line);
      return header;
    }
    ++header_lines;
    if (!has_letter(text)) continue;
    if (header.titles.empty()) header.titles = std::string(text);
    if (header.listed_titles.empty() && text.find(';') != std::string_view::npos) {
      header.listed_titles = std::string(text);
    }
  }
  return header;
}

// The columns: from the titles, or as korvane assumes them from the first record's count.
// The first record tells how the values are separated. A Refusal is located at `place`.
ColumnLayout read_columns(const HeaderLines& header, const TextPlace& place) {
  const std::string_view record = without_byte_order_mark(header.first_record, place.line);
  const Separator separator =
      record.find(';') != std::string_view::npos ? Separator::semicolons : Separator::blanks;
  try {
    const std::string& titles = header.titles_for(separator);
    if (titles.empty()) return headerless_layout(count_values(record, separator), separator);
    return read_header(titles, separator);
  } catch (const Refusal& refusal) {
    throw Refusal(place.message(refusal.what()));
  }
}

// A record as the first pass keeps it between the work on its chunk and its turn.
struct ScannedRecord {
  long place;            // of its line in the chunk (from 0)
  double v[9];           // x y z, real parts, imaginary parts (0 without)
  unsigned char weight;  // bit `a` set: mirror_weight about the plane `a` = 0 is +1, else -1
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
  r.weight = 0;
  for (int a = 0; a < 3; ++a) {
    if (mirror_weight(r.v, a) > 0) r.weight |= static_cast<unsigned char>(1 << a);
  }
  return true;
}

// Adds a record at the node `index` to the figures of the field.
void add_to_figures(ExportScan& scan, const ScannedRecord& r, const int index[3], int parts) {
  double weight[3], signed_weight[3];
  for (int a = 0; a < 3; ++a) {
    weight[a] = (r.weight >> a & 1) != 0 ? 1.0 : -1.0;
    signed_weight[a] = r.v[a] > 0 ? weight[a] : r.v[a] < 0 ? -weight[a] : 0.0;
  }
  for (int part = 0; part < parts; ++part) {
    const double* f = r.v + 3 + 3 * part;
    for (int a = 0; a < 3; ++a) {
      for (int k = 0; k < 3; ++k) {
        scan.odd_sum[part][a][k] += weight[a] * f[k];
        scan.even_sum[part][a][k] += signed_weight[a] * f[k];
      }
    }
    for (int k = 0; k < 3; ++k) {
      const double size = std::abs(f[k]);
      scan.largest[part][k] = std::max(scan.largest[part][k], size);
      for (int a = 0; a < 3; ++a) {
        if (index[a] == 0) {
          scan.largest_on_plane[a][part][k] = std::max(scan.largest_on_plane[a][part][k], size);
        }
      }
    }
  }
}

// Some exports repeat their last record once at the end: that repeat is dropped. A record
// that repeats the node of the one before anywhere else is a fault.
class RepeatedNode {
 public:
  explicit RepeatedNode(const std::string& file) : file_(file) {}

  // True when the record `v` on line `line` is the exact repeat of `previous` (and is to
  // be dropped); refuses a node given twice with other values, and any record after a
  // repeat.
  bool dropped(const double v[9], long line, const double previous[9], bool has_previous) {
    if (repeat_line_ != 0) {
      refuse(repeat_line_, "a node given twice: the record repeats the node of the line before");
    }
    if (!has_previous || v[0] != previous[0] || v[1] != previous[1] || v[2] != previous[2]) {
      return false;
    }
    for (int n = 3; n < 9; ++n) {
      if (v[n] != previous[n]) {
        refuse(line,
               "a node given twice, with other values: the record repeats the node of the line "
               "before");
      }
    }
    repeat_line_ = line;
    return true;
  }

  long repeat_line() const { return repeat_line_; }

 private:
  [[noreturn]] void refuse(long line, const std::string& what) const {
    throw Refusal(TextPlace{"", 0, file_, line}.message(what));
  }

  std::string file_;
  long repeat_line_ = 0;
};

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
      add_to_figures(scan_, r, index, parts);
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
  const std::unique_ptr<TaskPool> team = make_team(usable_processors());
  return scan_export(path, PassSetup{*team, export_chunks}, every);
}

ExportScan scan_export(const std::string& path, PassSetup setup,
                       const std::array<int, 3>& every) {
  ExportScan scan;
  LineReader lines("", 0, path);
  const HeaderLines header = read_header_lines(lines, scan.header_lines);
  if (!header.found) {
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
