// The control file's ends of a run, through the real binary in a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "support/test_support.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::Control;
using testing::read_file;
using testing::run_korvane;
using testing::ScratchDir;
using testing::write_file;

const std::string start_of_log =
    "  mu0 =   1.256637061435917E-002 Gs*m/A \r\n"
    "  ------------------------------ \r\n";

bool has_output_file(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("eh_EMS", 0) == 0) return true;
  }
  return false;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

double field(double x, double y, double z, int component) {
  return component == 0 ? x + 2 * y : component == 1 ? y - z : 0.5 * z;
}

std::string small_table() {
  const double lo[3] = {-1, -1, -1};
  const double step[3] = {1, 1, 1};
  return testing::make_table(3, 3, 3, lo, step, 321, 9, field);
}

Control with_counts(int nx, int ny, int nz) {
  Control c;
  c.counts[0] = nx, c.counts[1] = ny, c.counts[2] = nz;
  return c;
}

TEST(ControlRun, MissingControlFile) {
  ScratchDir dir;
  const auto result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(first_line(result.err).rfind("korvane: unit 1, file 'korvane.dat': ", 0), 0u)
      << result.err;
  EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
}

TEST(ControlRun, GridTooLargeStopsBeforeTheTableIsOpened) {
  for (const Control& c : {with_counts(26, 25, 201), with_counts(25, 26, 201),
                           with_counts(25, 25, 202)}) {
    ScratchDir dir;
    write_file(dir / "korvane.dat", c.text());  // no table: it must not be opened
    write_file(dir / "korvane.log", "an earlier run's log\n");
    const auto result = run_korvane(dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, " Output grid larger than max PELIX grid \n");
    EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
    EXPECT_FALSE(has_output_file(dir.path()));
  }
}

TEST(ControlRun, ExtraChecksAreFatalStops) {
  Control one_node;
  one_node.counts[1] = 1;
  Control bad_code;
  bad_code.ksym[2] = 3;
  const std::pair<Control, std::string> cases[] = {
      {one_node, " Output grid needs at least 2 nodes along each axis \n"},
      {bad_code, " Symmetry codes must be 0, 1 or 2 \n"}};
  for (const auto& [control, message] : cases) {
    ScratchDir dir;
    write_file(dir / "korvane.dat", control.text());
    write_file(dir / "table.txt", small_table());
    const auto result = run_korvane(dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, message);
    EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
    EXPECT_FALSE(has_output_file(dir.path()));
  }
}

TEST(ControlRun, BadTokenShowsLineAndCaret) {
  ScratchDir dir;
  std::string text = Control().text();
  text.replace(text.find("\n1.0\n"), 5, "\n1.O   ! aper\n");  // record 10, a letter O
  write_file(dir / "korvane.dat", text);
  const auto result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "korvane: unit 1, file 'korvane.dat', line 10: '1.O' is not a real number (reading "
            "aper)\n"
            "    1.O   ! aper\n"
            "    ^\n");
  EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
}

TEST(ControlRun, FileEndingAfterRecord12IsAnInputError) {
  ScratchDir dir;
  Control c;
  c.counts[0] = 99;  // never read, so never tested
  std::string text = c.text();
  write_file(dir / "korvane.dat", text.substr(0, text.rfind("99 3 3\n")));
  const auto result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(first_line(result.err),
            "korvane: unit 1, file 'korvane.dat': end of file after line 12 while reading Nox, "
            "Noy, Noz (0 of 3 values found)");
  EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
}

TEST(ControlRun, CrLfControlFileNamesItsTable) {
  ScratchDir dir;
  std::string text;
  for (char ch : Control().text()) text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  write_file(dir / "korvane.dat", text);
  write_file(dir / "table.txt", small_table());
  const auto result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(read_file(dir / "korvane.log").rfind(start_of_log, 0), 0u);
  EXPECT_TRUE(fs::exists(dir / "eh_EMS.#07"));
}

TEST(ControlRun, TableNameWithANulByteIsAnInputError) {
  ScratchDir dir;
  Control c;
  c.table = std::string("tab\0le.txt", 10);
  write_file(dir / "korvane.dat", c.text());
  write_file(dir / "tab", small_table());  // the name cut at the NUL must not be opened
  const auto result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(first_line(result.err).rfind("korvane: unit 2, file 'tab\\x00le.txt': ", 0), 0u)
      << result.err;
  EXPECT_EQ(read_file(dir / "korvane.log"), start_of_log);
  EXPECT_FALSE(has_output_file(dir.path()));
}

}  // namespace
}  // namespace korvane
