#include "util/mapped_window.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvane {

int MappedWindow::map_line(unsigned long long offset, std::size_t& size, std::size_t longest) {
  unmap();
  if (size == 0) size = 1;
  const unsigned long long page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
  const unsigned long long start = offset / page * page;
  const std::size_t skipped = static_cast<std::size_t>(offset - start);
  for (;;) {
    const std::size_t length = static_cast<std::size_t>(
        std::min<unsigned long long>(skipped + size, file_size_ - start));
    void* mapping =
        ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, static_cast<off_t>(start));
    if (mapping == MAP_FAILED) return errno;
    ::madvise(mapping, length, MADV_SEQUENTIAL);
    map_ = static_cast<const char*>(mapping);
    offset_ = start;
    length_ = length;
    if (reaches_end_of_file() || std::memchr(map_ + skipped, '\n', length - skipped) != nullptr) {
      return 0;
    }
    unmap();
    if (size >= longest) return line_too_long;
    size *= 2;
  }
}

void MappedWindow::unmap() {
  if (map_ != nullptr) ::munmap(const_cast<char*>(map_), length_);
  map_ = nullptr;
  offset_ = 0;
  length_ = 0;
}

std::string_view MappedWindow::from(unsigned long long offset) const {
  if (map_ == nullptr || offset < offset_ || offset >= end()) return {};
  const std::size_t skipped = static_cast<std::size_t>(offset - offset_);
  return {map_ + skipped, length_ - skipped};
}

}  // namespace korvane
