#include "util/replacing_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/test_support.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

TEST(ReplacingFile, TakesTheFinalNameOnlyOnCommitAndNeverLeavesATemporary) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.txt").string();
  testing::write_file(name, "earlier");
  {
    ReplacingFile file(name);
    ASSERT_EQ(file.create(), 0);
    ASSERT_EQ(::write(file.release(), "new", 3), 3);
  }  // gone uncommitted: the earlier file stays, the temporary is removed
  EXPECT_EQ(testing::read_file(name), "earlier");
  EXPECT_EQ(entries(dir.path()), 1u);

  ReplacingFile file(name);
  ASSERT_EQ(file.create(), 0);
  const int fd = file.release();
  ASSERT_EQ(::write(fd, "new", 3), 3);
  ::close(fd);
  EXPECT_EQ(file.commit(), 0);
  EXPECT_EQ(testing::read_file(name), "new");
  EXPECT_EQ(entries(dir.path()), 1u);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(ReplacingFile, FailuresComeBackAsErrnoWithNothingLeft) {
  testing::ScratchDir dir;
  fs::create_directory(dir / "folder");
  fs::create_directory(dir / "folder" / "inside");
  ReplacingFile over_folder((dir / "folder").string());
  ASSERT_EQ(over_folder.create(), 0);
  EXPECT_NE(over_folder.commit(), 0);
  EXPECT_EQ(entries(dir.path()), 1u);
  EXPECT_EQ(ReplacingFile((dir / "missing" / "x").string()).create(), ENOENT);
  EXPECT_EQ(ReplacingFile(std::string("a\0b", 3)).create(), EINVAL);
}

}  // namespace
}  // namespace korvane
