// The benchmarks' baseline: a bare read of a table with std::from_chars and nothing else,
// the least any reader of the same text must do; and the run of a whole tool process, timed
// beside it.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

extern char** environ;

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

// Runs `args` (the program's path first) as a shell would, its output and messages into
// `log`; returns its exit status (-1 when it could not be started or did not exit).
inline int run_process(std::vector<std::string> args, const std::filesystem::path& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace korvane::bench
