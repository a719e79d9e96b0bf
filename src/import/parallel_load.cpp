#include "import/parallel_load.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>

namespace korvane {
namespace {

// Offset in the file of a line that lies in `chunk`.
unsigned long long offset_of(const LineChunk& chunk, std::string_view line) {
  return chunk.offset + static_cast<unsigned long long>(line.data() - chunk.text.data());
}

// Lines in a chunk of whole lines (the file's last line may lack its LF).
std::int64_t count_lines(std::string_view text) {
  std::int64_t lines = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  // memchr is the library's vector search: far faster than a byte loop.
  while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    p = static_cast<const char*>(lf) + 1;
    ++lines;
  }
  return p != end ? lines + 1 : lines;
}

// How far the lines of a chunk are the usual record.
struct UsualRun {
  std::int64_t lines = 0;              // usual records from the chunk's first line on
  bool stopped = false;                // a line ended the run before the chunk's end
  unsigned long long stop_offset = 0;  // start of that line
  double last[9] = {};                 // the values of the run's last record
};

// Parses the lines of `chunk` as groups of n reals, one record a line, handing each to
// take(values, line), until a line is not the usual record (or `most` were taken): the
// one loop of both the scan's read ahead and the load's.
template <class Take>
UsualRun parse_usual_lines(const LineChunk& chunk, int n, std::int64_t most, Take&& take) {
  UsualRun run;
  std::string_view text = chunk.text, line;
  // Two buffers in turn: a line that is not the usual one leaves the last record whole.
  double buffers[2][9];
  GroupFault fault;
  while (take_line(text, line)) {
    double* values = buffers[run.lines % 2];
    if (run.lines >= most ||
        read_reals_from_text(line, values, n, fault) != GroupStatus::complete) {
      run.stopped = true;
      run.stop_offset = offset_of(chunk, line);
      break;
    }
    take(static_cast<const double*>(values), line);
    ++run.lines;
  }
  if (run.lines > 0) std::copy_n(buffers[(run.lines - 1) % 2], n, run.last);
  return run;
}

}  // namespace

ParallelRecords::ParallelRecords(std::string_view program, int unit, const std::string& name,
                                 int n, TaskPool& pool, ChunkLayout layout)
    : in_(program, unit, name), layout_(layout), file_(name, layout), pool_(pool), n_(n) {
  if (n < 1 || n > 9) throw std::logic_error("ParallelRecords: a group of 1 to 9 values");
}

bool ParallelRecords::read_window() {
  if (!file_.next_window()) return false;
  const std::vector<LineChunk>& chunks = file_.chunks();
  if (chunks_.size() < chunks.size()) chunks_.resize(chunks.size());
  pool_.run(static_cast<int>(chunks.size()), [&](int c) {
    const LineChunk& chunk = chunks[static_cast<std::size_t>(c)];
    Chunk& out = chunks_[static_cast<std::size_t>(c)];
    out.values.clear();
    const UsualRun run = parse_usual_lines(
        chunk, n_, std::numeric_limits<std::int64_t>::max(),
        [&](const double* values, std::string_view) {
          out.values.insert(out.values.end(), values, values + n_);
        });
    out.lines = static_cast<std::size_t>(run.lines);
    out.stopped = run.stopped;
    out.stop_offset = run.stop_offset;
  });
  active_chunks_ = chunks.size();
  chunk_ = 0;
  line_in_chunk_ = 0;
  return true;
}

void ParallelRecords::hand_over(unsigned long long offset) {
  sequential_ = true;
  // Nothing read ahead: the reader is still at the start (and may be a pipe).
  if (offset != 0 || lines_taken_ != 0) in_.resume_at(offset, lines_taken_);
}

GroupStatus ParallelRecords::try_read_reals(double* values, int n, GroupFault& fault) {
  if (n != n_) throw std::logic_error("ParallelRecords: a group of another size");
  while (!sequential_) {
    if (chunk_ < active_chunks_) {
      const Chunk& chunk = chunks_[chunk_];
      if (line_in_chunk_ < chunk.lines) {
        const double* first = chunk.values.data() + line_in_chunk_ * static_cast<std::size_t>(n);
        std::copy(first, first + n, values);
        ++line_in_chunk_;
        ++lines_taken_;
        fault.status = GroupStatus::complete;
        fault.found = n;
        return GroupStatus::complete;
      }
      if (chunk.stopped) {
        hand_over(chunk.stop_offset);
        break;
      }
      ++chunk_;
      line_in_chunk_ = 0;
      continue;
    }
    if (!read_window()) hand_over(file_.next_offset());
  }
  return in_.try_read_reals(values, n, fault);
}

std::int64_t ParallelRecords::take_usual_records(FieldStore& s, const RecordPlacement& placement,
                                                 UsualRecords& ahead, double last[3]) {
  ahead.read(s, placement, in_.name(), pool_, layout_);
  if (sequential_ || ahead.count() <= lines_taken_) return 0;
  const std::int64_t taken = ahead.count() - lines_taken_;
  std::copy(ahead.last(), ahead.last() + 3, last);
  // The rest goes to the sequential reader; the window read ahead is no longer needed.
  sequential_ = true;
  in_.resume_at(ahead.end_offset(), static_cast<long>(ahead.count()));
  lines_taken_ = static_cast<long>(ahead.count());
  file_.close();
  std::vector<Chunk>().swap(chunks_);
  return taken;
}

// One chunk of a window, on cache lines of its own: the threads fill neighbouring chunks
// at once.
struct alignas(64) UsualRecords::Chunk {
  std::int64_t first_record = 0;
  UsualRun run;
  std::vector<PlaneBounds> bounds;
};

void UsualRecords::read(FieldStore& s, const RecordPlacement& placement, const std::string& name,
                        TaskPool& pool, ChunkLayout layout) {
  ready_ = true;
  fast_count_ = placement.counts[placement.axes[0]];
  middle_count_ = placement.counts[placement.axes[1]];
  count_ = 0;
  highest_placed_ = 0;
  end_offset_ = 0;
  bounds_.clear();

  ChunkedFile file(name, layout);
  std::vector<Chunk> chunks;
  std::int64_t next = 1;
  while (next <= placement.records && file.next_window()) {
    const std::vector<LineChunk>& lines = file.chunks();
    chunks.assign(lines.size(), Chunk{});
    next = number_chunks(lines, next, chunks, pool);
    pool.run(static_cast<int>(lines.size()), [&](int c) {
      read_chunk(s, placement, lines[static_cast<std::size_t>(c)],
                 chunks[static_cast<std::size_t>(c)]);
    });
    if (take_chunks(chunks, placement.values_per_record)) return;
  }
  end_offset_ = file.next_offset();
}

std::int64_t UsualRecords::number_chunks(const std::vector<LineChunk>& lines,
                                         std::int64_t first, std::vector<Chunk>& chunks,
                                         TaskPool& pool) {
  // Each chunk's first record is the count of lines before it: one record a line, as long
  // as the records are the usual ones (a chunk after one that is not is discarded by
  // take_chunks).
  std::vector<std::int64_t> counts(lines.size());
  pool.run(static_cast<int>(lines.size()), [&](int c) {
    counts[static_cast<std::size_t>(c)] = count_lines(lines[static_cast<std::size_t>(c)].text);
  });
  for (std::size_t c = 0; c < lines.size(); ++c) {
    chunks[c].first_record = first;
    first += counts[c];
  }
  return first;
}

void UsualRecords::read_chunk(FieldStore& s, const RecordPlacement& placement,
                              const LineChunk& chunk, Chunk& out) const {
  const int fast = placement.axes[0], middle = placement.axes[1], slow = placement.axes[2];
  const std::size_t bound_count =
      static_cast<std::size_t>(fast_count_) + static_cast<std::size_t>(middle_count_) + 1;
  std::int64_t record = out.first_record;
  int node[3];
  placement.node_of(record, node);
  PlaneBounds* plane = nullptr;
  out.run = parse_usual_lines(
      chunk, placement.values_per_record, std::max<std::int64_t>(0, placement.records - record + 1),
      [&](const double* values, std::string_view line) {
        placement.place(s, node, values);
        if (placement.has_coordinates) {
          if (plane == nullptr || plane->slow_node != node[slow]) {
            plane = &out.bounds.emplace_back();
            plane->first_record = record;
            plane->offset = offset_of(chunk, line);
            plane->slow_node = node[slow];
            plane->low.assign(bound_count, std::numeric_limits<double>::infinity());
            plane->high.assign(bound_count, -std::numeric_limits<double>::infinity());
          }
          plane->last_record = record;
          // A product of two finite doubles is never NaN: the bounds take every record.
          const std::size_t at[3] = {static_cast<std::size_t>(node[fast] - 1),
                                     static_cast<std::size_t>(fast_count_ + node[middle] - 1),
                                     bound_count - 1};
          const int axis[3] = {fast, middle, slow};
          for (int a = 0; a < 3; ++a) {
            const double found = values[axis[a]] * s.cscale;
            plane->low[at[a]] = std::min(plane->low[at[a]], found);
            plane->high[at[a]] = std::max(plane->high[at[a]], found);
          }
        }
        placement.advance(node);
        ++record;
      });
}

bool UsualRecords::take_chunks(std::vector<Chunk>& chunks, int n) {
  // Chunks after one that stopped were read as if every record before them were a line;
  // what they placed is overwritten by the sequential reader, or cleared by finish().
  for (const Chunk& chunk : chunks) {
    if (chunk.run.lines > 0) {
      highest_placed_ = std::max(highest_placed_, chunk.first_record + chunk.run.lines - 1);
    }
  }
  for (Chunk& chunk : chunks) {
    if (chunk.run.lines > 0) {
      count_ = chunk.first_record + chunk.run.lines - 1;
      std::copy(chunk.run.last, chunk.run.last + n, last_);
    }
    std::move(chunk.bounds.begin(), chunk.bounds.end(), std::back_inserter(bounds_));
    if (chunk.run.stopped) {
      end_offset_ = chunk.run.stop_offset;
      return true;
    }
  }
  return false;
}

bool read_usual_table(const std::string& name, const RecordPlacement& placement, TaskPool& pool,
                      ChunkLayout layout,
                      const std::function<void(std::int64_t, const double*)>& take) {
  ChunkedFile file(name, layout);
  std::vector<std::int64_t> first;
  std::vector<char> whole;
  std::int64_t next = 1;
  while (next <= placement.records) {
    if (!file.next_window()) return false;
    const std::vector<LineChunk>& chunks = file.chunks();
    const std::size_t n = chunks.size();
    first.assign(n, 0);
    pool.run(static_cast<int>(n), [&](int c) {
      first[static_cast<std::size_t>(c)] = count_lines(chunks[static_cast<std::size_t>(c)].text);
    });
    for (std::size_t c = 0; c < n; ++c) first[c] = std::exchange(next, next + first[c]);
    whole.assign(n, 0);
    pool.run(static_cast<int>(n), [&](int c) {
      const std::size_t at = static_cast<std::size_t>(c);
      const std::int64_t wanted = std::max<std::int64_t>(0, placement.records - first[at] + 1);
      std::int64_t record = first[at];
      const UsualRun run =
          parse_usual_lines(chunks[at], placement.values_per_record, wanted,
                            [&](const double* values, std::string_view) { take(record++, values); });
      // A stop after the records wanted is past the table's end: nothing the read needs.
      whole[at] = !run.stopped || run.lines == wanted;
    });
    if (std::find(whole.begin(), whole.end(), 0) != whole.end()) return false;
  }
  return true;
}

bool UsualRecords::all_on_mesh(const FieldStore& s, const RecordPlacement& placement,
                               const PlaneBounds& bounds) const {
  auto within = [&](int axis, int node, std::size_t at) {
    const double low = bounds.low[at], high = bounds.high[at];
    // An axis of one node is not checked; a node no record of the group lies on has no
    // bounds.
    if (placement.counts[axis] < 2 || low > high) return true;
    return placement.on_mesh(s, axis, node, low) && placement.on_mesh(s, axis, node, high);
  };
  const int fast = placement.axes[0], middle = placement.axes[1], slow = placement.axes[2];
  for (int node = 1; node <= fast_count_; ++node) {
    if (!within(fast, node, static_cast<std::size_t>(node - 1))) return false;
  }
  for (int node = 1; node <= middle_count_; ++node) {
    if (!within(middle, node, static_cast<std::size_t>(fast_count_ + node - 1))) return false;
  }
  return within(slow, bounds.slow_node, bounds.low.size() - 1);
}

std::int64_t UsualRecords::finish(FieldStore& s, const RecordPlacement& placement, GroupReader& in,
                                  Warnings& warnings, bool& warned) const {
  if (placement.counts[placement.axes[0]] != fast_count_ ||
      placement.counts[placement.axes[1]] != middle_count_) {
    throw std::logic_error("UsualRecords: read for another grid than the one loaded");
  }
  const std::int64_t records = placement.records;
  // Records read past the grid's last plane: a sequential load leaves their nodes zero.
  const double zero[9] = {};
  int node[3];
  for (std::int64_t record = records + 1; record <= highest_placed_; ++record) {
    placement.node_of(record, node);
    placement.place(s, node, zero);
  }

  // The first record off the mesh is in the first group whose bounds are not all on it;
  // that group's records are read again one by one to find it.
  if (!warned) {
    for (const PlaneBounds& bounds : bounds_) {
      if (bounds.first_record > records) break;
      if (all_on_mesh(s, placement, bounds)) continue;
      in.resume_at(bounds.offset, static_cast<long>(bounds.first_record - 1));
      double values[9];
      GroupFault fault;
      for (std::int64_t record = bounds.first_record; record <= bounds.last_record; ++record) {
        if (in.try_read_reals(values, placement.values_per_record, fault) !=
            GroupStatus::complete) {
          throw std::logic_error("UsualRecords: a record read before is not the same now");
        }
        placement.node_of(record, node);
        const int axis = placement.off_mesh_axis(s, node, values);
        if (axis >= 0) {
          warn_off_mesh(s, placement, warnings, in.name(), in.line_number(), axis, node, values);
          warned = true;
          break;
        }
      }
      if (warned) break;
    }
  }

  const std::int64_t taken = std::min(count_, records);
  // Nothing placed: the reader is still at the start (and may be a pipe).
  if (taken > 0 && taken < records) in.resume_at(end_offset_, static_cast<long>(taken));
  return taken + 1;
}

}  // namespace korvane
