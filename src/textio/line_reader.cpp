#include "textio/line_reader.h"

#include <fcntl.h>
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

// What a line past max_line_length is taken for.
std::string too_long_line() {
  return "a line longer than " + std::to_string(max_line_length >> 20) +
         " MiB: not a text file of records";
}
}  // namespace

LineReader::LineReader(std::string_view program, int unit, std::string name)
    : program_(program), unit_(unit), name_(std::move(name)) {
  if (name_.find('\0') != std::string::npos) fail(0, "a file name cannot hold a NUL byte");
  fd_ = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail(0, std::string("cannot open: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(std::exchange(fd_, -1));
    fail(0, std::string("cannot open: ") + std::strerror(EISDIR));
  }
  // A regular file of known size is mapped window by window; anything else (a pipe, a
  // device, a file the system reports as empty) is read in blocks.
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    file_size_ = static_cast<unsigned long long>(info.st_size);
    window_.emplace(fd_, file_size_);
  } else {
    buffer_.resize(block_size);
  }
}

LineReader::~LineReader() {
  window_.reset();
  if (fd_ >= 0) ::close(fd_);
}

void LineReader::fail(long line, const std::string& what) const {
  throw IoError(located_message(program_, unit_, name_, line, what));
}

bool LineReader::next_mapped(std::string_view& line) {
  if (position_ >= file_size_) return false;
  std::string_view rest = window_->from(position_);
  std::size_t lf = rest.find('\n');
  if (rest.empty() || (lf == std::string_view::npos && !window_->reaches_end_of_file())) {
    // The line starts past the window or goes on past it: map again from its start, with
    // a larger window when the line needs one.
    const int fault = window_->map_line(position_, window_size_, max_line_length);
    if (fault == MappedWindow::line_too_long) fail(line_number_ + 1, too_long_line());
    if (fault != 0) fail(line_number_ + 1, std::string("cannot read: ") + std::strerror(fault));
    rest = window_->from(position_);
    lf = rest.find('\n');
  }
  // Without a line feed, the last line of a file that does not end with one.
  std::size_t length = lf == std::string_view::npos ? rest.size() : lf;
  position_ += lf == std::string_view::npos ? rest.size() : lf + 1;
  if (length > 0 && rest[length - 1] == '\r') --length;
  line = rest.substr(0, length);
  ++line_number_;
  return true;
}

void LineReader::resume_at(unsigned long long offset, long line_number) {
  line_number_ = line_number;
  if (window_) {
    position_ = std::min(offset, file_size_);
    return;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    fail(line_number_ + 1, std::string("cannot read: ") + std::strerror(errno));
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
    if (buffer_.size() >= max_line_length) fail(line_number_ + 1, too_long_line());
    buffer_.resize(buffer_.size() * 2);
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(line_number_ + 1, std::string("cannot read: ") + std::strerror(errno));
    if (n == 0) {
      at_end_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(n);
    return true;
  }
}

bool LineReader::next(std::string_view& line) {
  if (window_) return next_mapped(line);
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
