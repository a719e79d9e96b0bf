// One pass over the lines of an export, on a team of threads, with the result of a reading
// in the file's order.
//
// The file is cut into chunks of whole lines, a window of them at a time (textio's
// ChunkedFile). The team works on a window's chunks at once, while one of its threads takes
// the results of the window before, chunk by chunk, in the file's order. Whatever a chunk's
// work throws is thrown when its turn to be taken comes, after what it kept before the
// throw: a pass ends at the same line, with the same error, on any number of threads and
// wherever the chunks end. A file that cannot be cut (a pipe, say), and the rest of a file
// past a line too long for a window, are read line by line, a batch of lines at a time.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/line_chunks.h"
#include "textio/line_reader.h"
#include "util/task_pool.h"

namespace korvane::prepare {

// How korvane-prepare cuts an export: windows of 4 MiB, so that a window and the results of
// two held at once stay below the 16 MiB window a line reader maps, in chunks enough to keep
// every thread busy while one of them takes the window before.
inline constexpr ChunkLayout export_chunks{std::size_t{1} << 19, 8};

// The team a pass runs on and how it cuts the file.
struct PassSetup {
  TaskPool& pool;
  ChunkLayout layout;
};

// What a pass does with the lines: work on a chunk, then take the results in order. The
// results live in numbered slots; a chunk's work and its taking use one slot. A line's
// number is known only when its chunk is taken (the lines of the chunks before it are not
// counted until then): the work keeps each line's place in its chunk, and a fault found by
// the work is kept with the line and raised again by take(), which knows the number.
class ChunkWork {
 public:
  virtual ~ChunkWork() = default;
  // Makes room for slots 0 .. count - 1, keeping what the slots already hold. Never called
  // while work() or take() runs.
  virtual void make_slots(int count) = 0;
  // Works on `text`, whole lines cut as take_line cuts them (perhaps none); `file_start`
  // says its first line is the file's first. Keeps in slot `slot`, in place of what it held,
  // what take() needs, and nothing that points into the text, which is gone when the work
  // returns. Returns the number of lines it went through: all of them, or those up to the
  // one where it stopped. Runs on any thread, beside the work of other chunks and beside
  // take() of an earlier chunk.
  virtual long work(int slot, std::string_view text, bool file_start) = 0;
  // Takes the results of slot `slot`, whose first line is numbered `first_line` (from 1),
  // chunks one at a time in the file's order; false when the pass needs no further line
  // (nothing after it is taken, nothing its work threw is thrown).
  virtual bool take(int slot, long first_line) = 0;
};

// The line of a chunk that its work refused. Its number is not known while the chunk is
// worked on, so the work keeps the line, and the chunk's turn reads it again with its number:
// a pass on any number of threads then refuses at the same line, in the same words, as one
// thread reading the file would.
struct RefusedLine {
  long place = -1;   // of the line in its chunk (from 0); -1: no line refused
  std::string text;  // the line as it stands
};

// Goes through the lines of a chunk's `text` for ChunkWork::work, calling
// read(line, number, place) on each: `place` is the line's place in the chunk (from 0), and
// `number` its number in the file when the chunk starts the file (`file_start`), else 0 (not
// known yet). A `Refused` that read throws ends the work: the line goes into `refused`, to
// be read again in its turn (refuse_in_turn), and counts among the lines gone through.
// Clears `refused` first. Returns the lines gone through, as ChunkWork::work returns them.
// Any other exception passes through.
template <class Refused, class Read>
long read_lines(std::string_view text, bool file_start, RefusedLine& refused, Read&& read) {
  refused.place = -1;
  long place = 0;
  std::string_view line;
  try {
    for (; take_line(text, line); ++place) read(line, file_start ? place + 1 : 0, place);
  } catch (const Refused&) {
    refused.place = place;
    refused.text = std::string(line);
    return place + 1;
  }
  return place;
}

// In the turn of a chunk whose first line is `first_line` (ChunkWork::take), after what the
// chunk kept before its refused line is taken: reads that line again through
// read(line, number), now with its number, so that the refusal it throws names the line.
// Does nothing when the chunk's work refused no line. A line that is not refused again is a
// fault of the work (std::logic_error).
template <class Read>
void refuse_in_turn(const RefusedLine& refused, long first_line, Read&& read) {
  if (refused.place < 0) return;
  read(std::string_view(refused.text), first_line + refused.place);
  throw std::logic_error("a line refused in its chunk is not refused in its turn");
}

// Runs `work` over the lines of the file `path` numbered `first` and after. `reader`, open on
// the same file, has read the lines before `first`, or some of them; it reads what cannot be
// cut into chunks. When it has read line `first` itself, `read_ahead` is that line's text
// (a pipe cannot be read again), else null. Throws what the work, take() or the reader throw.
void run_pass(const std::string& path, LineReader& reader, long first,
              const std::string* read_ahead, PassSetup setup, ChunkWork& work);

}  // namespace korvane::prepare
