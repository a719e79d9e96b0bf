#include "textio/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "textio/errors.h"

namespace korvane {
namespace {
constexpr std::size_t block_size = 1 << 20;
constexpr std::size_t max_line_length = std::size_t{1} << 28;
}

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
  buffer_.resize(block_size);
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
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
      throw IoError(located_message(unit_, name_, line_number_ + 1,
                                    "a line longer than 256 MiB: not a text file of records"));
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
