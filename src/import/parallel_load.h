// Reading the table on every thread of a pool: the scan's coordinates and the load's
// field values, with the sequential reader taking over from the first record that is not
// the usual one.
//
// The usual record is one line that starts with the values a read needs (more may follow
// and are ignored). Chunks of such lines are parsed at once on the pool's threads; whatever
// else a chunk holds (a record split over lines, a blank line, a comment, a bad value) or
// the end of the table hands the reading, from that record on, to the GroupReader of the
// sequential path, so every value, warning and error is the one a sequential run gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/record_placement.h"
#include "store/field_store.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/line_chunks.h"
#include "textio/task_pool.h"

namespace korvane {

// Groups of `n` reals (at most 9) from a table, one record a call, read ahead window by
// window on the pool. Offers the two calls of GroupReader that the mesh scan makes.
class ParallelRecords {
 public:
  // Opens the file as GroupReader does (and throws as it does).
  ParallelRecords(int unit, const std::string& name, int n, TaskPool& pool,
                  ChunkLayout layout = {});

  // As GroupReader::try_read_reals; n must be the one given at construction.
  GroupStatus try_read_reals(double* values, int n, GroupFault& fault);
  [[noreturn]] void raise(const GroupFault& fault, int needed, std::string_view what) const {
    in_.raise(fault, needed, what);
  }

 private:
  // Each on cache lines of its own: the threads fill neighbouring chunks at once.
  struct alignas(64) Chunk {
    std::vector<double> values;  // n per line, for the lines before the stop
    std::size_t lines = 0;
    bool stopped = false;
    unsigned long long stop_offset = 0;  // start of the line that stopped the chunk
  };
  bool read_window();
  void hand_over(unsigned long long offset);

  GroupReader in_;
  ChunkedFile file_;
  TaskPool& pool_;
  int n_;
  std::vector<Chunk> chunks_;
  std::size_t active_chunks_ = 0;
  std::size_t chunk_ = 0;
  std::size_t line_in_chunk_ = 0;
  long lines_taken_ = 0;
  bool sequential_ = false;
};

// Places the records of the table from the first on, as fill_grid does, parsing chunks on
// the pool's threads, and warns (when `warned` is false) for the first record off the mesh.
// Stops at the first record that is not the usual one or at the end of the table, moves
// `in` to that record and returns its number; records + 1 when every record is placed.
std::int64_t fill_usual_records(FieldStore& s, const RecordPlacement& placement,
                                GroupReader& in, TaskPool& pool, Warnings& warnings,
                                bool& warned, ChunkLayout layout = {});

}  // namespace korvane
