#include "textio/byte_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "textio/errors.h"

namespace korvane {
namespace {
constexpr std::size_t buffer_size = 1 << 20;
}

FileSink::FileSink(std::string_view program, int unit, std::string name)
    : program_(program), unit_(unit), name_(std::move(name)) {}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

void FileSink::fail(std::string_view action, int error) const {
  throw IoError(located_message(program_, unit_, name_, 0,
                                std::string(action) + ": " + std::strerror(error)));
}

void FileSink::open_truncate() {
  if (name_.find('\0') != std::string::npos) {
    throw IoError(located_message(program_, unit_, name_, 0, "a file name cannot hold a NUL byte"));
  }
  int fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fail("cannot open for writing", errno);
  adopt(fd);
}

void FileSink::adopt(int fd) {
  fd_ = fd;
  buffer_.resize(buffer_size);
  used_ = 0;
}

void FileSink::write_all(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write", n < 0 ? errno : EIO);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void FileSink::write(const char* data, std::size_t size) {
  if (size > buffer_.size() - used_) {
    flush();
    if (size > buffer_.size()) return write_all(data, size);
  }
  std::memcpy(buffer_.data() + used_, data, size);
  used_ += size;
  if (write_through_lines_ && size > 0 && data[size - 1] == '\n') flush();
}

void FileSink::flush() {
  write_all(buffer_.data(), used_);
  used_ = 0;
}

void FileSink::close() {
  if (fd_ < 0) return;
  flush();
  int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) fail("cannot close", errno);
}

}  // namespace korvane
