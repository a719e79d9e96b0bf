#include "util/mapped_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace korvane {
namespace {

class OpenFile {
 public:
  explicit OpenFile(const std::string& name) : fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~OpenFile() { ::close(fd); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  const int fd;
};

// Lines of every length from 0 to 3 pages, so that windows start on every kind of page
// boundary and many lines outgrow the window first asked for.
std::string lines_of_every_length() {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::string text;
  for (std::size_t length = 0; length < 3 * page; length += 97) {
    text += std::string(length, static_cast<char>('a' + length % 26)) + "\n";
  }
  return text + "last line without a line feed";
}

TEST(MappedWindow, HoldsEachLineFromItsFirstByteWhereverItStarts) {
  testing::ScratchDir dir;
  const std::string text = lines_of_every_length();
  testing::write_file(dir / "lines.txt", text);
  OpenFile file((dir / "lines.txt").string());
  MappedWindow window(file.fd, text.size());
  std::size_t size = 8;
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    ASSERT_EQ(window.map_line(line_start, size, std::size_t{1} << 20), 0);
    const std::string_view held = window.from(line_start);
    const std::size_t lf = text.find('\n', line_start);
    const std::size_t line_end = lf == std::string::npos ? text.size() : lf + 1;
    ASSERT_GE(held.size(), line_end - line_start) << "line at " << line_start;
    EXPECT_EQ(held.substr(0, line_end - line_start),
              std::string_view(text).substr(line_start, line_end - line_start));
    EXPECT_TRUE(window.from(window.end()).empty());
    line_start = line_end;
  }
  EXPECT_TRUE(window.reaches_end_of_file());
}

TEST(MappedWindow, ALineLongerThanTheLimitMapsNothing) {
  testing::ScratchDir dir;
  const std::string text = std::string(100, 'x') + "\nrest\n";
  testing::write_file(dir / "long.txt", text);
  OpenFile file((dir / "long.txt").string());
  MappedWindow window(file.fd, text.size());
  std::size_t size = 4;
  EXPECT_EQ(window.map_line(0, size, 64), MappedWindow::line_too_long);
  EXPECT_TRUE(window.from(0).empty());
  size = 4;
  EXPECT_EQ(window.map_line(0, size, 128), 0);
  EXPECT_EQ(size, 128u);
}

}  // namespace
}  // namespace korvane
