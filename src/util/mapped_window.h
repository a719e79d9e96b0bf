// A window of a regular file mapped into memory for reading, that grows to hold a whole
// line: the file's bytes are read where they lie (no copy), and only the window is held,
// never the whole file.
//
// A mapping starts on a page boundary, so the window starts at the page that holds the
// offset asked for. A line ends at LF; a window that reaches neither a line end nor the
// end of the file doubles until it does, up to a limit the caller sets.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// The bytes a window holds unless a line needs more: large enough that each mapping costs
// little, small enough that a reader holds little.
inline constexpr std::size_t mapped_window_size = std::size_t{16} << 20;

class MappedWindow {
 public:
  // What map_line() returns for a line that does not end within `longest` bytes.
  static constexpr int line_too_long = -1;

  // A window of the file open on `fd` (which stays the caller's), of `file_size` bytes.
  MappedWindow(int fd, unsigned long long file_size) : fd_(fd), file_size_(file_size) {}
  ~MappedWindow() { unmap(); }
  MappedWindow(const MappedWindow&) = delete;
  MappedWindow& operator=(const MappedWindow&) = delete;

  // Maps the window that holds `size` bytes from `offset` (< the file size) on, or all of
  // them to the end of the file. While those bytes hold no LF and stop short of the end
  // of the file, `size` doubles and the window is mapped again; past `longest` bytes that
  // is line_too_long. Returns 0 with the window mapped, line_too_long, or the errno of a
  // failed mapping; no window is mapped after a failure. `size` keeps the size that held
  // the line, so that a reader can go on with it.
  int map_line(unsigned long long offset, std::size_t& size, std::size_t longest);
  void unmap();

  // The window's bytes from `offset` to its end; empty when the window does not hold it.
  std::string_view from(unsigned long long offset) const;
  // Offset in the file of the first byte after the window (0 when none is mapped).
  unsigned long long end() const { return offset_ + length_; }
  bool reaches_end_of_file() const { return map_ != nullptr && end() >= file_size_; }

 private:
  int fd_;
  unsigned long long file_size_;
  const char* map_ = nullptr;
  unsigned long long offset_ = 0;  // of the window's first byte, a page boundary
  std::size_t length_ = 0;
};

}  // namespace korvane
