#include "textio/line_chunks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
  window_.emplace(fd_, file_size_);
}

ChunkedFile::~ChunkedFile() { close(); }

void ChunkedFile::close() {
  window_.reset();
  chunks_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ChunkedFile::next_window() {
  chunks_.clear();
  if (!window_) return false;
  window_->unmap();
  if (position_ >= file_size_) return false;
  // The first windows are small: a reader that needs only the start of the file (the
  // scan's first plane) parses little more than that.
  std::size_t wanted = layout_.chunk_bytes * static_cast<std::size_t>(window_chunks_);
  window_chunks_ = std::min(2 * window_chunks_, layout_.chunks_per_window);
  if (window_->map_line(position_, wanted, max_line_length) != 0) return false;
  std::string_view text = window_->from(position_);
  // The window ends after its last LF, unless it reaches the end of the file.
  if (!window_->reaches_end_of_file()) text = text.substr(0, text.rfind('\n') + 1);
  while (!text.empty()) {
    std::size_t stop = std::min(layout_.chunk_bytes, text.size());
    if (stop < text.size()) {
      const std::size_t lf = text.find('\n', stop - 1);
      stop = lf == std::string_view::npos ? text.size() : lf + 1;
    }
    chunks_.push_back({text.substr(0, stop), position_});
    text.remove_prefix(stop);
    position_ += stop;
  }
  return true;
}

}  // namespace korvane
