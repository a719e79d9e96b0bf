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
// need not be secret: a temporary name is taken only where no file has it (O_EXCL, or a
// link, which never replaces a name), so a name taken already (by anyone, a symbolic link
// included) is only passed over.
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

// Tries names "FINAL.partial-XXXXXX" until `take` takes one: 0 with that name in `taken`,
// or the errno of a failure other than a name that exists already.
template <class Take>
int under_new_name(const std::string& final_name, std::string& taken, Take&& take) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = final_name + ".partial-" + unique_suffix();
    if (take(name)) {
      taken = std::move(name);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

std::string folder_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

}  // namespace

int sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

ReplacingFile::ReplacingFile(std::string final_name)
    : final_name_(std::move(final_name)), folder_(folder_of(final_name_)) {}

ReplacingFile::~ReplacingFile() {
  // A file without a name goes with its last descriptor.
  if (fd_ >= 0) ::close(fd_);
  if (kept_ >= 0) ::close(kept_);
  if (pending_) ::unlink(temporary_.c_str());
}

int ReplacingFile::create() {
  if (final_name_.find('\0') != std::string::npos) return EINVAL;
  const int fd = open_unnamed(folder_);
  if (fd >= 0) return adopt(fd);
  // The file system (EOPNOTSUPP) or an older kernel (EISDIR, EINVAL) cannot make a file
  // without a name: it is named from the start.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return create_named();
  return errno;
}

int ReplacingFile::create_named() {
  if (final_name_.find('\0') != std::string::npos) return EINVAL;
  // Created new with 0666, so the kernel applies the umask: nothing here sets it, which
  // would race with any thread that creates a file meanwhile.
  int fd = -1;
  const int error = under_new_name(final_name_, temporary_, [&](const std::string& name) {
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd >= 0;
  });
  if (error != 0) return error;
  pending_ = true;
  return adopt(fd);
}

int ReplacingFile::adopt(int fd) {
  // A second descriptor stays here, so that commit() flushes the bytes the writer wrote
  // through its own and closed, whatever the file's permissions, and can still link a
  // file without a name.
  kept_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (kept_ < 0) {
    const int error = errno;
    ::close(fd);
    if (std::exchange(pending_, false)) ::unlink(temporary_.c_str());
    return error;
  }
  fd_ = fd;
  return 0;
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

int ReplacingFile::open_unnamed(const std::string& folder) {
  // The commit names the file by linking it through /proc/self/fd: linking the descriptor
  // itself (AT_EMPTY_PATH) needs a capability a user lacks. Without /proc it could not.
  if (::access("/proc/self/fd", X_OK) != 0) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

int ReplacingFile::flush() {
  // A descriptor is gone whatever close() returns; its failure is the file's.
  int error = 0;
  if (fd_ >= 0 && close_descriptor(std::exchange(fd_, -1)) != 0) error = errno;
  if (kept_ < 0) {
    // The writer wrote by name: the temporary is opened again to flush it. A file without
    // a name whose descriptors were all closed is gone.
    if (!pending_) return error != 0 ? error : EBADF;
    kept_ = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (kept_ < 0) return error != 0 ? error : errno;
  }
  if (sync_descriptor(kept_) != 0 && error == 0) error = errno;
  return error;
}

int ReplacingFile::link_unnamed() {
  // linkat() never replaces a name: the temporary name lives only until the rename.
  const std::string path = "/proc/self/fd/" + std::to_string(kept_);
  const int error = under_new_name(final_name_, temporary_, [&](const std::string& name) {
    return ::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  });
  pending_ = error == 0;
  return error;
}

int ReplacingFile::commit() {
  folder_unsynced_ = false;
  int error = flush();
  if (error == 0 && !pending_) error = link_unnamed();
  const int kept = std::exchange(kept_, -1);
  if (kept >= 0 && close_descriptor(kept) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary_.c_str(), final_name_.c_str()) != 0) error = errno;
  if (std::exchange(pending_, false) && error != 0) ::unlink(temporary_.c_str());
  if (error != 0) return error;
  // The rename is in the folder's own blocks, which the file's flush did not write.
  error = sync_folder(folder_);
  folder_unsynced_ = error != 0;
  return error;
}

std::string ReplacingFile::reading_path() const {
  return kept_ < 0 ? std::string() : "/proc/self/fd/" + std::to_string(kept_);
}

}  // namespace korvane
