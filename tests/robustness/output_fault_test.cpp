// Failures while the field file is written: the run ends with an error naming unit 7, an
// earlier file of that name is left byte for byte as it was, and no temporary is left.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string earlier_file = "an earlier eh_EMS.#07, which a failed write must keep\n";

// A run whose field file (format 1, 5 x 5 x 21 nodes, about 40 kB) is far larger than its
// log (about 2 kB), so a file-size limit between the two stops the write in its middle.
void prepare_large_output(const ScratchDir& dir) {
  Control control;
  control.counts[0] = 5;
  control.counts[1] = 5;
  control.counts[2] = 21;
  write_file(dir / "korvane.dat", control.text());
  // Three values a record and no coordinates: the grid comes from the control file.
  std::string table;
  for (int n = 0; n < 5 * 5 * 21; ++n) table += std::to_string(n) + " 0.5 -2.25\n";
  write_file(dir / "table.txt", table);
  write_file(dir / "eh_EMS.#07", earlier_file);
}

void expect_nothing_left_behind(const ScratchDir& dir) {
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos)
        << "temporary left behind: " << entry.path();
  }
}

void expect_unit7_error(const ProcessResult& run) {
  EXPECT_EQ(run.status, 2) << run.err;
  const std::string first_line = run.err.substr(0, run.err.find('\n'));
  EXPECT_EQ(first_line.rfind("korvane: unit 7, file 'eh_EMS.#07'", 0), 0u) << run.err;
}

void expect_log_ends_at_file_name(const ScratchDir& dir) {
  const std::string log = read_file(dir / "korvane.log");
  EXPECT_EQ(log.rfind(log_header, 0), 0u) << log;
  EXPECT_NE(log.find(" Output field file name = eh_EMS.#07"), std::string::npos) << log;
  EXPECT_EQ(log.find("d_elm, aper, k_s_EH="), std::string::npos) << "summary after a failure";
}

// Runs the binary in `dir` after the shell commands `setup` (a limit, a trap).
ProcessResult run_korvane_after(const ScratchDir& dir, const std::string& setup) {
  ProcessResult result;
  const std::string command = "cd '" + dir.path().string() + "' && " + setup + " && exec '" +
                              KORVANE_BINARY "' >.stdout 2>.stderr";
  // The outer shell's own report of a killed child is not the binary's output.
  const int raw = std::system(("sh -c \"" + command + "\" 2>/dev/null").c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = read_file(dir / ".stdout");
  result.err = read_file(dir / ".stderr");
  fs::remove(dir / ".stdout");
  fs::remove(dir / ".stderr");
  return result;
}

// 8 blocks of 512 bytes: room for the log, not for the field file.
constexpr const char* file_size_limit = "ulimit -f 8";

TEST(OutputFault, FileSizeLimitMidWriteKeepsEarlierFile) {
  ScratchDir dir;
  prepare_large_output(dir);
  // With SIGXFSZ ignored the write that crosses the limit fails with EFBIG.
  const ProcessResult run =
      run_korvane_after(dir, std::string(file_size_limit) + " && trap '' XFSZ");

  expect_unit7_error(run);
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir / "eh_EMS.#07"), earlier_file);
  expect_nothing_left_behind(dir);
  expect_log_ends_at_file_name(dir);
}

// Where the limit's signal keeps its default action, which would end the process in the
// middle of the write, korvane ignores it itself: the write fails as an ordinary error,
// the temporary is removed and the log written out.
TEST(OutputFault, FileSizeLimitWithDefaultSignalIsAnOrdinaryWriteError) {
  ScratchDir dir;
  prepare_large_output(dir);
  const ProcessResult run = run_korvane_after(dir, file_size_limit);

  expect_unit7_error(run);
  EXPECT_EQ(read_file(dir / "eh_EMS.#07"), earlier_file);
  expect_nothing_left_behind(dir);
  expect_log_ends_at_file_name(dir);
}

TEST(OutputFault, FinalNameIsFolderKeepsFolderAndLeavesNoTemporary) {
  ScratchDir dir;
  prepare_large_output(dir);
  fs::remove(dir / "eh_EMS.#07");
  fs::create_directory(dir / "eh_EMS.#07");
  write_file(dir / "eh_EMS.#07" / "inside.txt", earlier_file);

  const ProcessResult run = run_korvane(dir.path());

  expect_unit7_error(run);
  EXPECT_TRUE(fs::is_directory(dir / "eh_EMS.#07"));
  EXPECT_EQ(read_file(dir / "eh_EMS.#07" / "inside.txt"), earlier_file);
  expect_nothing_left_behind(dir);
  expect_log_ends_at_file_name(dir);
}

// Each log record is written through as it ends, so a log that cannot be written stops the
// run before the field file is written: status 2 naming unit 8, and the earlier field file
// kept. Here the limit (one block: 512 bytes, or 1 kB where sh counts in kB) is below the
// log's records before the field file and above the whole field file (format 0 on
// 2 x 2 x 2 nodes, 348 bytes), so only the log can hit it.
TEST(OutputFault, LogWriteFailureKeepsEarlierFieldFile) {
  ScratchDir dir;
  Control control;
  control.ifmt = 0;
  control.counts[0] = 2, control.counts[1] = 2, control.counts[2] = 2;
  write_file(dir / "korvane.dat", control.text());
  const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {1.0, 1.0, 1.0};
  write_file(dir / "table.txt",
             make_table(3, 3, 3, lo, step, 123, 9,
                        [](double x, double y, double z, int c) { return x + y * z + c; }));
  write_file(dir / "eh_EMS.#07", earlier_file);

  const ProcessResult run = run_korvane_after(dir, "ulimit -f 1");

  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err.rfind("korvane: unit 8, file 'korvane.log'", 0), 0u) << run.err;
  EXPECT_EQ(read_file(dir / "eh_EMS.#07"), earlier_file);
  expect_nothing_left_behind(dir);
}

}  // namespace
}  // namespace korvane::testing
