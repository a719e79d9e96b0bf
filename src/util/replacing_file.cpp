#include "util/replacing_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace korvane {

ReplacingFile::ReplacingFile(std::string final_name) : final_name_(std::move(final_name)) {}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (pending_) ::unlink(temporary_.c_str());
}

int ReplacingFile::create() {
  if (final_name_.find('\0') != std::string::npos) return EINVAL;
  temporary_ = final_name_ + ".partial-XXXXXX";
  const int fd = ::mkstemp(temporary_.data());
  if (fd < 0) return errno;
  fd_ = fd;
  pending_ = true;
  // mkstemp makes the file private (0600); the final file gets what a new one would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  return 0;
}

int ReplacingFile::release() { return std::exchange(fd_, -1); }

int ReplacingFile::commit() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (std::rename(temporary_.c_str(), final_name_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    pending_ = false;
    return error;
  }
  pending_ = false;
  return 0;
}

}  // namespace korvane
