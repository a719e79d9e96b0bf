// The benchmarks' baseline: a bare read of a table with std::from_chars and nothing else,
// the least any reader of the same text must do.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>

namespace korvane::bench {

// Maps the file whole, passes over `header_lines`, then reads it once per entry of
// `values_per_line`: that many values of each line (0: every value on it), blanks and CRs
// between them. Returns the sum of everything read, so that nothing is left unread.
inline double bare_read(const std::filesystem::path& path, int header_lines,
                        std::initializer_list<int> values_per_line) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const std::size_t size = std::filesystem::file_size(path);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) std::exit(1);
  const char* const first = static_cast<const char*>(map);
  const char* const last = first + size;
  auto next_line = [last](const char* p) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(last - p));
    return lf == nullptr ? last : static_cast<const char*>(lf) + 1;
  };
  const char* body = first;
  for (int n = 0; n < header_lines; ++n) body = next_line(body);
  double sum = 0.0;
  for (int wanted : values_per_line) {
    for (const char* p = body; p < last;) {
      const char* const end = next_line(p);
      for (int v = 0; wanted == 0 || v < wanted; ++v) {
        while (p < end && (*p == ' ' || *p == '\r')) ++p;
        if (p >= end || *p == '\n') break;
        double value = 0.0;
        p = std::from_chars(p, end, value).ptr;
        sum += value;
      }
      p = end;
    }
  }
  ::munmap(map, size);
  return sum;
}

}  // namespace korvane::bench
