#include "import/parallel_load.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

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

}  // namespace

ParallelRecords::ParallelRecords(int unit, const std::string& name, int n, TaskPool& pool,
                                 ChunkLayout layout)
    : in_(unit, name), file_(name, layout), pool_(pool), n_(n) {
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
    out.stopped = false;
    std::string_view text = chunk.text, line;
    double values[9];
    GroupFault fault;
    std::size_t lines = 0;
    while (take_line(text, line)) {
      if (read_reals_from_text(line, values, n_, fault) != GroupStatus::complete) {
        out.stopped = true;
        out.stop_offset = offset_of(chunk, line);
        break;
      }
      out.values.insert(out.values.end(), values, values + n_);
      ++lines;
    }
    out.lines = lines;
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

std::int64_t fill_usual_records(FieldStore& s, const RecordPlacement& placement,
                                GroupReader& in, TaskPool& pool, Warnings& warnings,
                                bool& warned, ChunkLayout layout) {
  // Each on cache lines of its own: the threads fill neighbouring chunks at once.
  struct alignas(64) Chunk {
    std::int64_t first_record = 0;
    bool stopped = false;
    std::int64_t stop_record = 0;
    unsigned long long stop_offset = 0;
    std::int64_t off_mesh_record = 0;  // the first record off the mesh, 0 for none
    int off_mesh_axis = -1;
    int off_mesh_node[3] = {0, 0, 0};
    double off_mesh_values[9] = {};
  };
  ChunkedFile file(in.name(), layout);
  std::vector<Chunk> chunks;
  std::int64_t next = 1;
  const std::int64_t records = placement.records;
  const int n = placement.values_per_record;
  while (next <= records && file.next_window()) {
    const std::vector<LineChunk>& lines = file.chunks();
    chunks.assign(lines.size(), Chunk{});
    // Each chunk's first record is the count of lines before it: one record a line, as long
    // as the records are the usual ones (a chunk after one that is not is discarded below).
    std::vector<std::int64_t> counts(lines.size());
    pool.run(static_cast<int>(lines.size()),
             [&](int c) { counts[static_cast<std::size_t>(c)] = count_lines(lines[c].text); });
    std::int64_t first = next;
    for (std::size_t c = 0; c < lines.size(); ++c) {
      chunks[c].first_record = first;
      first += counts[c];
    }

    const bool check_mesh = !warned;
    pool.run(static_cast<int>(lines.size()), [&](int c) {
      const LineChunk& chunk = lines[static_cast<std::size_t>(c)];
      Chunk& out = chunks[static_cast<std::size_t>(c)];
      std::int64_t record = out.first_record;
      if (record > records) return;
      int node[3];
      placement.node_of(record, node);
      std::string_view text = chunk.text, line;
      double values[9];
      GroupFault fault;
      for (; record <= records && take_line(text, line); ++record) {
        if (read_reals_from_text(line, values, n, fault) != GroupStatus::complete) {
          out.stopped = true;
          out.stop_record = record;
          out.stop_offset = offset_of(chunk, line);
          return;
        }
        placement.place(s, node, values);
        if (check_mesh && out.off_mesh_record == 0) {
          const int axis = placement.off_mesh_axis(s, node, values);
          if (axis >= 0) {
            out.off_mesh_record = record;
            out.off_mesh_axis = axis;
            std::copy(node, node + 3, out.off_mesh_node);
            std::copy(values, values + n, out.off_mesh_values);
          }
        }
        placement.advance(node);
      }
    });

    // In order: the warning of the first record off the mesh, then the first record that
    // is not the usual one, where the sequential reader takes over.
    for (const Chunk& chunk : chunks) {
      if (!warned && chunk.off_mesh_record != 0) {
        warn_off_mesh(s, placement, warnings, in.name(), static_cast<long>(chunk.off_mesh_record),
                      chunk.off_mesh_axis, chunk.off_mesh_node, chunk.off_mesh_values);
        warned = true;
      }
      if (chunk.stopped) {
        in.resume_at(chunk.stop_offset, static_cast<long>(chunk.stop_record - 1));
        return chunk.stop_record;
      }
    }
    next = first;
  }
  next = std::min(next, records + 1);
  // Nothing placed: the reader is still at the start (and may be a pipe).
  if (next > 1 && next <= records) {
    in.resume_at(file.next_offset(), static_cast<long>(next - 1));
  }
  return next;
}

}  // namespace korvane
