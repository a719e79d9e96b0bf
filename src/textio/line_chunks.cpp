#include "textio/line_chunks.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "textio/line_reader.h"

namespace korvane {

ChunkedFile::ChunkedFile(const std::string& name, ChunkLayout layout) : layout_(layout) {
  if (layout_.chunk_bytes == 0) layout_.chunk_bytes = 1;
  if (layout_.chunks_per_window < 1) layout_.chunks_per_window = 1;
  if (name.find('\0') != std::string::npos) return;
  // Not blocking: a FIFO must not wait here for a writer; it is refused below anyway.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  file_size_ = static_cast<unsigned long long>(info.st_size);
}

ChunkedFile::~ChunkedFile() { close(); }

void ChunkedFile::close() {
  unmap();
  chunks_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ChunkedFile::unmap() {
  if (map_ != nullptr) ::munmap(const_cast<char*>(map_), map_length_);
  map_ = nullptr;
  map_length_ = 0;
}

bool ChunkedFile::next_window() {
  unmap();
  chunks_.clear();
  if (fd_ < 0 || position_ >= file_size_) return false;
  const unsigned long long page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
  const unsigned long long map_offset = position_ / page * page;
  // The first windows are small: a reader that needs only the start of the file (the
  // scan's first plane) parses little more than that.
  unsigned long long wanted =
      layout_.chunk_bytes * static_cast<unsigned long long>(window_chunks_);
  window_chunks_ = std::min(2 * window_chunks_, layout_.chunks_per_window);
  const char* first = nullptr;
  const char* last = nullptr;
  for (;;) {
    map_length_ = static_cast<std::size_t>(
        std::min<unsigned long long>(position_ - map_offset + wanted, file_size_ - map_offset));
    void* mapping = ::mmap(nullptr, map_length_, PROT_READ, MAP_PRIVATE, fd_,
                           static_cast<off_t>(map_offset));
    if (mapping == MAP_FAILED) {
      map_length_ = 0;
      return false;
    }
    ::madvise(mapping, map_length_, MADV_SEQUENTIAL);
    map_ = static_cast<const char*>(mapping);
    first = map_ + (position_ - map_offset);
    last = map_ + map_length_;
    // The window ends after its last LF, unless it reaches the end of the file.
    if (map_offset + map_length_ >= file_size_) break;
    const char* end = last;
    while (end > first && end[-1] != '\n') --end;
    if (end > first) {
      last = end;
      break;
    }
    // A line longer than the window: the window doubles until it holds the line, up to the
    // longest line a reader takes.
    unmap();
    if (wanted >= max_line_length) return false;
    wanted *= 2;
  }
  while (first < last) {
    const char* stop = first + std::min<std::size_t>(layout_.chunk_bytes,
                                                      static_cast<std::size_t>(last - first));
    if (stop < last) {
      const void* lf = std::memchr(stop - 1, '\n', static_cast<std::size_t>(last - stop + 1));
      stop = lf == nullptr ? last : static_cast<const char*>(lf) + 1;
    }
    chunks_.push_back({std::string_view(first, static_cast<std::size_t>(stop - first)),
                       map_offset + static_cast<unsigned long long>(first - map_)});
    first = stop;
  }
  position_ = map_offset + static_cast<unsigned long long>(last - map_);
  return true;
}

}  // namespace korvane
