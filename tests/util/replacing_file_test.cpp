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

// A file system or kernel that refuses a file without a name with `refusal` (0: none does).
struct RefusedUnnamed : ReplacingFile {
  RefusedUnnamed(std::string name, int refusal)
      : ReplacingFile(std::move(name)), refusal(refusal) {}
  int open_unnamed(const std::string& folder) override {
    if (refusal == 0) return ReplacingFile::open_unnamed(folder);
    errno = refusal;
    return -1;
  }
  int refusal;
};

class ReplacingFileRoad : public ::testing::TestWithParam<int> {};

// Until the commit, nothing new shows in the folder, or, where refused, a named temporary.
TEST_P(ReplacingFileRoad, TakesTheFinalNameOnlyOnCommitAndNeverLeavesATemporary) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.txt").string();
  testing::write_file(name, "earlier");
  {
    RefusedUnnamed file(name, GetParam());
    ASSERT_EQ(file.create(), 0);
    EXPECT_EQ(entries(dir.path()), GetParam() == 0 ? 1u : 2u);
    ASSERT_EQ(::write(file.release(), "new", 3), 3);
  }  // gone uncommitted: the earlier file stays, the temporary is removed
  EXPECT_EQ(testing::read_file(name), "earlier");
  EXPECT_EQ(entries(dir.path()), 1u);

  // The permissions are a new file's under the umask of the moment (the test runs alone).
  const mode_t mask = ::umask(027);
  RefusedUnnamed file(name, GetParam());
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

INSTANTIATE_TEST_SUITE_P(Refusals, ReplacingFileRoad,
                         ::testing::Values(0, EOPNOTSUPP, EISDIR, EINVAL), [](const auto& info) {
                           return std::string(info.param == 0 ? "Unnamed"
                                                              : strerrorname_np(info.param));
                         });

// A writer killed mid-write, as a batch scheduler kills a job at its time limit, leaves the
// earlier file byte for byte and nothing of its own.
TEST(ReplacingFile, AWriterKilledMidWriteLeavesOnlyTheEarlierFile) {
  testing::ScratchDir dir;
  const std::string name = (dir / "out.bin").string(), earlier(100000, 'e');
  testing::write_file(name, earlier);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {  // 8 MB, a word to the parent, 56 MB more, then a wait for the kill
    ::alarm(60);
    ReplacingFile file(name);
    const int fd = file.create() == 0 ? file.release() : -1;
    const std::string block(1 << 20, 'n');
    for (int n = 0; n < 64 && ::write(fd, block.data(), block.size()) > 0; ++n) {
      if (n == 8 && ::write(ready[1], "w", 1) != 1) ::_exit(1);
    }
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(entries(dir.path()), 1u);
  EXPECT_EQ(testing::read_file(name), earlier);
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
