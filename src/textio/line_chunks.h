// A regular file cut into chunks of whole lines, for reading them on several threads.
//
// The file is mapped one window at a time (never all of it, so the memory held stays that
// of one window); each window ends at a line end and is cut into chunks that each start at
// the start of a line. The first window is one chunk, and each next one twice the last, up
// to the layout's chunks a window; a window that would not hold a whole line grows until
// it does. Lines follow the rule of LineReader: a line ends at LF, and one CR
// before the LF or before the end of the file is not part of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/mapped_window.h"

namespace korvane {

// By default a window is the mapped window's usual size, in chunks of a megabyte.
struct ChunkLayout {
  std::size_t chunk_bytes = std::size_t{1} << 20;
  int chunks_per_window = static_cast<int>(mapped_window_size / (std::size_t{1} << 20));
};

// One chunk: whole lines, the last perhaps without its LF at the end of the file.
struct LineChunk {
  std::string_view text;
  unsigned long long offset = 0;  // of text's first byte in the file
};

class ChunkedFile {
 public:
  // Opens the file for chunked reading; usable() is false when it cannot be (not a regular
  // file, empty, cannot be opened). Does not throw for any of these: the caller reads such a
  // file line by line instead, which reports what is wrong with it.
  ChunkedFile(const std::string& name, ChunkLayout layout);
  ~ChunkedFile();
  ChunkedFile(const ChunkedFile&) = delete;
  ChunkedFile& operator=(const ChunkedFile&) = delete;

  bool usable() const { return fd_ >= 0; }
  // Lets the window and the file go; next_window() is false from then on.
  void close();

  // Maps the next window and cuts it into chunks. False at the end of the file, for a line
  // longer than max_line_length, or when the mapping fails; the file's bytes from
  // next_offset() on are then left to a line-by-line reader.
  bool next_window();

  const std::vector<LineChunk>& chunks() const { return chunks_; }
  // Offset of the first byte after the current window.
  unsigned long long next_offset() const { return position_; }

 private:
  int fd_ = -1;
  ChunkLayout layout_;
  int window_chunks_ = 1;  // chunks in the next window: doubling up to the layout's
  unsigned long long file_size_ = 0;
  unsigned long long position_ = 0;
  std::optional<MappedWindow> window_;
  std::vector<LineChunk> chunks_;
};

// Cuts the next line off the front of `text` (which holds whole lines); false when text
// is empty.
inline bool take_line(std::string_view& text, std::string_view& line) {
  if (text.empty()) return false;
  std::size_t end = text.find('\n');
  std::size_t rest = end == std::string_view::npos ? text.size() : end + 1;
  if (end == std::string_view::npos) end = text.size();
  if (end > 0 && text[end - 1] == '\r') --end;
  line = text.substr(0, end);
  text.remove_prefix(rest);
  return true;
}

}  // namespace korvane
