#include "util/replacing_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

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

  // The permissions are a new file's under the umask of the moment (the test runs alone).
  const mode_t mask = ::umask(027);
  ReplacingFile file(name);
  const int created = file.create();
  ::umask(mask);
  ASSERT_EQ(created, 0);
  const int fd = file.release();
  ASSERT_EQ(::write(fd, "new", 3), 3);
  ::close(fd);
  EXPECT_EQ(file.commit(), 0);
  EXPECT_EQ(testing::read_file(name), "new");
  EXPECT_EQ(entries(dir.path()), 1u);
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ReplacingFile, TwoWritersOfOneNameEachGetATemporaryOfTheirOwn) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.txt").string();
  ReplacingFile first(name), second(name);
  ASSERT_EQ(first.create_named(), 0);
  ASSERT_EQ(second.create_named(), 0);
  EXPECT_NE(first.temporary(), second.temporary());
  EXPECT_EQ(first.commit(), 0);
  EXPECT_EQ(second.commit(), 0);
  EXPECT_EQ(entries(dir.path()), 1u);
}

// The flush to the disk or the close that ends the writing fails, as on a full or failing
// disk or a network file system: the commit reports it, and nothing takes the final name.
enum class Failing { sync, close };

void PrintTo(Failing failing, std::ostream* out) {
  *out << (failing == Failing::sync ? "sync" : "close");
}

class FailingEnd : public ReplacingFile {
 public:
  FailingEnd(std::string name, Failing failing) : ReplacingFile(std::move(name)), failing_(failing) {}

 protected:
  int sync_descriptor(int fd) override {
    if (failing_ != Failing::sync) return ReplacingFile::sync_descriptor(fd);
    errno = EIO;
    return -1;
  }
  int close_descriptor(int fd) override {
    const int closed = ReplacingFile::close_descriptor(fd);
    if (failing_ != Failing::close) return closed;
    errno = EDQUOT;
    return -1;
  }

 private:
  Failing failing_;
};

class ReplacingFileEnd : public ::testing::TestWithParam<Failing> {};

TEST_P(ReplacingFileEnd, AFailureBeforeTheRenameIsReportedAndLeavesTheEarlierFile) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.txt").string();
  testing::write_file(name, "earlier");
  enum Writer { never_took_it, closed_its_own, wrote_by_name };
  for (const Writer writer : {never_took_it, closed_its_own, wrote_by_name}) {
    SCOPED_TRACE(writer);
    FailingEnd file(name, GetParam());
    ASSERT_EQ(writer == wrote_by_name ? file.create_named() : file.create(), 0);
    if (writer == closed_its_own) ::close(file.release());
    if (writer == wrote_by_name) file.close();
    EXPECT_EQ(file.commit(), GetParam() == Failing::sync ? EIO : EDQUOT);
    EXPECT_EQ(testing::read_file(name), "earlier");
    EXPECT_EQ(entries(dir.path()), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, ReplacingFileEnd,
                         ::testing::Values(Failing::sync, Failing::close),
                         [](const auto& info) {
                           return std::string(info.param == Failing::sync ? "Sync" : "Close");
                         });

// Where the file system or kernel refuses a file without a name (the errno it gives then),
// or 0 where it makes one.
class RefusedUnnamed : public ReplacingFile {
 public:
  RefusedUnnamed(std::string name, int refusal) : ReplacingFile(std::move(name)), refusal_(refusal) {}

 protected:
  int open_unnamed(const std::string& folder) override {
    if (refusal_ == 0) return ReplacingFile::open_unnamed(folder);
    errno = refusal_;
    return -1;
  }

 private:
  int refusal_;
};

class ReplacingFileRoad : public ::testing::TestWithParam<int> {};

TEST_P(ReplacingFileRoad, NoNewNameInTheFolderBeforeTheCommitUnlessRefused) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.txt").string();
  testing::write_file(name, "earlier");
  for (const bool committed : {false, true}) {
    RefusedUnnamed file(name, GetParam());
    ASSERT_EQ(file.create(), 0);
    EXPECT_EQ(file.temporary().empty(), GetParam() == 0);
    EXPECT_EQ(entries(dir.path()), GetParam() == 0 ? 1u : 2u);
    EXPECT_EQ(fs::exists(file.temporary()), GetParam() != 0);
    const int fd = file.release();
    ASSERT_EQ(::write(fd, "new", 3), 3);
    ::close(fd);
    EXPECT_EQ(committed ? file.commit() : 0, 0);
  }
  EXPECT_EQ(testing::read_file(name), "new");
  EXPECT_EQ(entries(dir.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(Refusals, ReplacingFileRoad,
                         ::testing::Values(0, EOPNOTSUPP, EISDIR, EINVAL),
                         [](const auto& info) {
                           return std::string(info.param == 0 ? "Unnamed" : strerrorname_np(info.param));
                         });

// A process killed at any moment of its writing, as a batch scheduler kills a job at its
// time limit, leaves the earlier file byte for byte and nothing of its own.
TEST(ReplacingFile, AWriterKilledMidWriteLeavesOnlyTheEarlierFile) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.bin").string();
  const std::string earlier(100000, 'e');
  testing::write_file(name, earlier);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // 8 MB written, then the parent is told and the writing goes on to 64 MB; then the
    // child waits for the kill (or, should it never come, the alarm) before any commit.
    ::alarm(60);
    ::close(ready[0]);
    ReplacingFile file(name);
    if (file.create() != 0) ::_exit(1);
    const int fd = file.release();
    const std::string block(1 << 20, 'n');
    for (int n = 0; n < 64; ++n) {
      if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) ::_exit(1);
      if (n == 8 && ::write(ready[1], "w", 1) != 1) ::_exit(1);
    }
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(ready[0]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(entries(dir.path()), 1u);
  EXPECT_EQ(testing::read_file(name), earlier);
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
