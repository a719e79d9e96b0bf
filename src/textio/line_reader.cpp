#include "textio/line_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "textio/errors.h"

namespace korvane {
namespace {
constexpr std::size_t block_size = 1 << 20;
constexpr std::size_t map_window_size = std::size_t{16} << 20;

// What a line past max_line_length is taken for.
std::string too_long_line() {
  return "a line longer than " + std::to_string(max_line_length >> 20) +
         " MiB: not a text file of records";
}

const char* strip_cr(const char* first, const char* last) {
  return last > first && last[-1] == '\r' ? last - 1 : last;
}
}  // namespace

LineReader::LineReader(int unit, std::string name) : unit_(unit), name_(std::move(name)) {
  auto fail = [&](const std::string& what) {
    throw IoError(located_message(unit_, name_, 0, what));
  };
  if (name_.find('\0') != std::string::npos) fail("a file name cannot hold a NUL byte");
  fd_ = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail(std::string("cannot open: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(std::exchange(fd_, -1));
    fail(std::string("cannot open: ") + std::strerror(EISDIR));
  }
  // A regular file of known size is mapped window by window; anything else (a pipe, a
  // device, a file the system reports as empty) is read in blocks.
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    mapped_ = true;
    file_size_ = static_cast<unsigned long long>(info.st_size);
    window_ = map_window_size;
  } else {
    buffer_.resize(block_size);
  }
}

LineReader::~LineReader() {
  if (map_ != nullptr) ::munmap(const_cast<char*>(map_), map_length_);
  if (fd_ >= 0) ::close(fd_);
}

void LineReader::map_window(unsigned long long offset) {
  if (map_ != nullptr) ::munmap(const_cast<char*>(map_), map_length_);
  map_ = nullptr;
  const unsigned long long page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
  map_offset_ = offset / page * page;
  map_length_ =
      static_cast<std::size_t>(std::min<unsigned long long>(window_, file_size_ - map_offset_));
  void* mapping =
      ::mmap(nullptr, map_length_, PROT_READ, MAP_PRIVATE, fd_, static_cast<off_t>(map_offset_));
  if (mapping == MAP_FAILED) {
    throw IoError(located_message(unit_, name_, line_number_ + 1,
                                  std::string("cannot read: ") + std::strerror(errno)));
  }
  ::madvise(mapping, map_length_, MADV_SEQUENTIAL);
  map_ = static_cast<const char*>(mapping);
}

bool LineReader::next_mapped(std::string_view& line) {
  if (position_ >= file_size_) return false;
  for (;;) {
    if (map_ == nullptr || position_ < map_offset_ || position_ >= map_offset_ + map_length_) {
      map_window(position_);
    }
    const char* first = map_ + (position_ - map_offset_);
    const char* window_end = map_ + map_length_;
    const void* lf = std::memchr(first, '\n', static_cast<std::size_t>(window_end - first));
    if (lf != nullptr) {
      const char* last = static_cast<const char*>(lf);
      line = std::string_view(first, static_cast<std::size_t>(strip_cr(first, last) - first));
      position_ += static_cast<unsigned long long>(last - first) + 1;
      ++line_number_;
      return true;
    }
    if (map_offset_ + map_length_ >= file_size_) {
      // The last line of a file without a final line feed.
      line = std::string_view(first, static_cast<std::size_t>(strip_cr(first, window_end) - first));
      position_ = file_size_;
      ++line_number_;
      return true;
    }
    // The line goes on past the window: map again from its start, with a larger window
    // when it already started the window.
    const unsigned long long page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
    if (position_ / page * page == map_offset_) {
      if (window_ >= max_line_length) {
        throw IoError(located_message(unit_, name_, line_number_ + 1, too_long_line()));
      }
      window_ *= 2;
    }
    map_window(position_);
  }
}

void LineReader::resume_at(unsigned long long offset, long line_number) {
  line_number_ = line_number;
  if (mapped_) {
    position_ = std::min(offset, file_size_);
    return;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    throw IoError(located_message(unit_, name_, line_number_ + 1,
                                  std::string("cannot read: ") + std::strerror(errno)));
  }
  begin_ = end_ = 0;
  at_end_ = false;
}

bool LineReader::fill() {
  if (at_end_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    // A line that fills the buffer makes it grow, up to a limit no text record of a field
    // map comes near; past it the file is not a text of records (/dev/zero, say).
    if (buffer_.size() >= max_line_length) {
      throw IoError(located_message(unit_, name_, line_number_ + 1, too_long_line()));
    }
    buffer_.resize(buffer_.size() * 2);
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      throw IoError(located_message(unit_, name_, line_number_ + 1,
                                    std::string("cannot read: ") + std::strerror(errno)));
    }
    if (n == 0) {
      at_end_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(n);
    return true;
  }
}

bool LineReader::next(std::string_view& line) {
  if (mapped_) return next_mapped(line);
  std::size_t searched = begin_;
  for (;;) {
    const char* base = buffer_.data();
    const void* lf = std::memchr(base + searched, '\n', end_ - searched);
    if (lf != nullptr) {
      std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
      std::size_t length = stop - begin_;
      if (length > 0 && base[stop - 1] == '\r') --length;
      line = std::string_view(base + begin_, length);
      begin_ = stop + 1;
      ++line_number_;
      return true;
    }
    std::size_t pending = end_ - begin_;
    if (!fill()) {
      if (end_ == begin_) return false;
      // The last line of a file without a final line feed.
      std::size_t length = end_ - begin_;
      if (buffer_[end_ - 1] == '\r') --length;
      line = std::string_view(buffer_.data() + begin_, length);
      begin_ = end_;
      ++line_number_;
      return true;
    }
    searched = begin_ + pending;
  }
}

}  // namespace korvane
