// Sequential reading of a text file line by line, streamed in large blocks.
//
// A line ends at LF; one CR right before the LF (or before the end of the file) is not part
// of it. A regular file is read through a window of it mapped into memory (no copy of its
// bytes), other files through a block buffer; either way only a window or a block is held,
// never the whole file, and it grows only for a line longer than itself (up to 256 MiB).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/mapped_window.h"

namespace korvane {

// The longest line a reader takes; past it the file is not a text of records.
inline constexpr std::size_t max_line_length = std::size_t{1} << 28;

class LineReader {
 public:
  // Opens the file; throws IoError naming the unit and the file when it cannot be opened
  // (missing, a folder, a name holding a NUL byte). Its messages speak for `program`
  // (see TextPlace).
  LineReader(std::string_view program, int unit, std::string name);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, valid until the next call; false at the end of the file.
  bool next(std::string_view& line);

  // Goes on reading from byte `offset` of the file, the start of line `line_number` + 1
  // (a place another reader of the same file has reached).
  void resume_at(unsigned long long offset, long line_number);

  // Number of the line last returned, from 1 (0 before the first).
  long line_number() const { return line_number_; }
  std::string_view program() const { return program_; }
  int unit() const { return unit_; }
  const std::string& name() const { return name_; }

 private:
  bool fill();
  bool next_mapped(std::string_view& line);
  [[noreturn]] void fail(long line, const std::string& what) const;

  std::string program_;
  int unit_;
  std::string name_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  long line_number_ = 0;

  // A regular file is read through a mapped window.
  std::optional<MappedWindow> window_;
  unsigned long long file_size_ = 0;
  unsigned long long position_ = 0;  // offset of the next unread byte
  std::size_t window_size_ = mapped_window_size;
};

}  // namespace korvane
