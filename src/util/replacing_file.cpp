#include "util/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace korvane {
namespace {

// Six letters or digits that differ from call to call and from process to process. They
// need not be secret: the temporary is created with O_EXCL, so a name taken already (by
// anyone, a symbolic link included) is only passed over.
std::string unique_suffix() {
  static std::atomic<std::uint64_t> calls{0};
  const std::uint64_t now = static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  // splitmix64's finaliser spreads the three sources over every bit.
  std::uint64_t z = now ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^
                    (++calls * 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix(6, ' ');
  for (char& c : suffix) {
    c = letters[z % 62];
    z /= 62;
  }
  return suffix;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string final_name) : final_name_(std::move(final_name)) {}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (kept_ >= 0) ::close(kept_);
  if (pending_) ::unlink(temporary_.c_str());
}

int ReplacingFile::create() {
  if (final_name_.find('\0') != std::string::npos) return EINVAL;
  // Created new with 0666, so the kernel applies the umask: nothing here sets it, which
  // would race with any thread that creates a file meanwhile.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = final_name_ + ".partial-" + unique_suffix();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A second descriptor stays here, so that commit() flushes the bytes the writer
      // wrote through its own and closed, whatever the file's permissions.
      const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
      if (kept < 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(name.c_str());
        return error;
      }
      temporary_ = std::move(name);
      fd_ = fd;
      kept_ = kept;
      pending_ = true;
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int ReplacingFile::release() { return std::exchange(fd_, -1); }

int ReplacingFile::close() {
  int error = 0;
  for (int* fd : {&fd_, &kept_}) {
    if (*fd >= 0 && close_descriptor(std::exchange(*fd, -1)) != 0 && error == 0) error = errno;
  }
  return error;
}

int ReplacingFile::sync_descriptor(int fd) { return ::fsync(fd); }

int ReplacingFile::close_descriptor(int fd) { return ::close(fd); }

int ReplacingFile::sync_and_close() {
  // A descriptor is gone whatever close() returns; its failure is the file's.
  int error = 0;
  if (fd_ >= 0 && close_descriptor(std::exchange(fd_, -1)) != 0) error = errno;
  int fd = std::exchange(kept_, -1);
  if (fd < 0) {
    // The writer wrote by name: the temporary is opened again to flush it.
    fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return error != 0 ? error : errno;
  }
  if (sync_descriptor(fd) != 0 && error == 0) error = errno;
  if (close_descriptor(fd) != 0 && error == 0) error = errno;
  return error;
}

int ReplacingFile::commit() {
  int error = sync_and_close();
  if (error == 0 && std::rename(temporary_.c_str(), final_name_.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary_.c_str());
  pending_ = false;
  return error;
}

std::string ReplacingFile::reading_path() const {
  return kept_ < 0 ? std::string() : "/proc/self/fd/" + std::to_string(kept_);
}

}  // namespace korvane
