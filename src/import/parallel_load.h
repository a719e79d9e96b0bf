// Reading the table on every thread of a pool: the scan's coordinates and the load's
// field values, with the sequential reader taking over from the first record that is not
// the usual one. In a run the table is parsed once: the scan reads its records one by one
// only until it knows the fast and middle counts, and from there the load's records are
// parsed and placed in the pass that counts them.
//
// The usual record is one line that starts with the values a read needs (more may follow
// and are ignored). Chunks of such lines are parsed at once on the pool's threads; whatever
// else a chunk holds (a record split over lines, a blank line, a comment, a bad value) or
// the end of the table hands the reading, from that record on, to the GroupReader of the
// sequential path, so every value, warning and error is the one a sequential run gives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/record_placement.h"
#include "store/field_store.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/line_chunks.h"
#include "util/task_pool.h"

namespace korvane {

class UsualRecords;

// Groups of `n` reals (at most 9) from a table, one record a call, read ahead window by
// window on the pool. Offers the two calls of GroupReader that the mesh scan makes.
class ParallelRecords {
 public:
  // Opens the file as GroupReader does, its messages spoken by `program` (and throws as it
  // does).
  ParallelRecords(std::string_view program, int unit, const std::string& name, int n,
                  TaskPool& pool, ChunkLayout layout = {});

  // As GroupReader::try_read_reals; n must be the one given at construction.
  GroupStatus try_read_reals(double* values, int n, GroupFault& fault);
  [[noreturn]] void raise(const GroupFault& fault, int needed, std::string_view what) const {
    in_.raise(fault, needed, what);
  }

  // Reads the usual records from the first on into `ahead` (see UsualRecords::read) and
  // goes on after them: returns how many it took past the records handed out so far, and
  // puts the coordinates of the last one in `last`; 0 when the records handed out reach
  // past the usual ones already.
  std::int64_t take_usual_records(FieldStore& s, const RecordPlacement& placement,
                                  UsualRecords& ahead, double last[3]);

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
  ChunkLayout layout_;
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

// The records of a table from the first on that are the usual ones, parsed on the pool's
// threads and placed in the store: what the load takes before the sequential reader takes
// the rest. The scan reads them as soon as it knows the loop order and the fast and middle
// counts, so that the table's values are parsed once; the load, which alone may warn of a
// record off the mesh, then finishes them.
class UsualRecords {
 public:
  // Places records 1 .. at most placement.records by `placement` (whose fast and middle
  // counts are those of the grid, the slow one no more than the store holds), stopping at
  // the first record that is not the usual one or at the end of the table `name`. Keeps,
  // for each plane of the slow axis in each chunk, the bounds of the coordinates found.
  void read(FieldStore& s, const RecordPlacement& placement, const std::string& name,
            TaskPool& pool, ChunkLayout layout);

  bool ready() const { return ready_; }
  // Records read and placed, where the next record starts, and the last record's values.
  std::int64_t count() const { return count_; }
  unsigned long long end_offset() const { return end_offset_; }
  const double* last() const { return last_; }

  // For the load by `placement` (that of the grid the scan found): clears what was placed
  // beyond its records, warns (when `warned` is false) for the first record off the mesh,
  // moves `in` to the first record still to read and returns its number; records + 1 when
  // every record is placed.
  std::int64_t finish(FieldStore& s, const RecordPlacement& placement, GroupReader& in,
                      Warnings& warnings, bool& warned) const;

  // The lowest and highest coordinate (times cscale) found at each node of the fast and
  // middle axes, then on the plane, among consecutive records of one chunk in one plane of
  // the slow axis. Whether a coordinate lies within 1 % of a step of its node holds for
  // every value between two for which it holds, so the bounds tell whether all do.
  struct PlaneBounds {
    std::int64_t first_record = 0;
    std::int64_t last_record = 0;
    unsigned long long offset = 0;  // of the first record
    int slow_node = 0;
    std::vector<double> low, high;
  };

 private:
  struct Chunk;
  // Numbers the window's chunks from record `first` on (their lines counted on the pool);
  // returns the record after the window.
  static std::int64_t number_chunks(const std::vector<LineChunk>& lines, std::int64_t first,
                                    std::vector<Chunk>& chunks, TaskPool& pool);
  // Parses and places the chunk's usual records, keeping the bounds of each plane.
  void read_chunk(FieldStore& s, const RecordPlacement& placement, const LineChunk& chunk,
                  Chunk& out) const;
  // Takes the window's chunks in order up to the first that stopped; true at that one.
  bool take_chunks(std::vector<Chunk>& chunks, int n);
  bool all_on_mesh(const FieldStore& s, const RecordPlacement& placement,
                   const PlaneBounds& bounds) const;

  bool ready_ = false;
  std::int32_t fast_count_ = 0, middle_count_ = 0;
  std::int64_t count_ = 0;
  std::int64_t highest_placed_ = 0;  // also by chunks read past the first unusual record
  unsigned long long end_offset_ = 0;
  double last_[9] = {};
  std::vector<PlaneBounds> bounds_;
};

// Reads records 1 .. placement.records of the table `name` on the pool when each is the
// usual one, from the table's first line on (record r is then line r): take(r, values) gets
// each record's values, on the pool's threads in any order. False, having stopped early,
// when a record is not the usual one or the table ends first: the caller then reads the
// records one by one, as the converter does. Throws std::bad_alloc.
bool read_usual_table(const std::string& name, const RecordPlacement& placement, TaskPool& pool,
                      ChunkLayout layout,
                      const std::function<void(std::int64_t, const double*)>& take);

}  // namespace korvane
