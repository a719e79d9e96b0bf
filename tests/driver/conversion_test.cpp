// Whole runs of the real binary in scratch folders: the complete log and field file
// against expected files, and the ends of a run that stop it or fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "driver/conversion.h"
#include "support/test_support.h"
#include "util/task_pool.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::Control;
using testing::ScratchDir;
using testing::read_file;
using testing::run_korvane;
using testing::write_file;

const fs::path expected_root = fs::path(KORVANE_SOURCE_DIR) / "tests/driver/expected";

// A quadrupole-like field: Bx = 2y, By = 2x, Bz = x y.
double quadrupole(double x, double y, double, int c) {
  return c == 0 ? 2.0 * y : c == 1 ? 2.0 * x : x * y;
}

// A field with every component different along every axis.
double asymmetric(double x, double y, double z, int c) {
  return (c + 1) * (1.0 + 0.5 * x - 0.25 * y + 0.125 * z + x * z) + 0.01 * c * y * y;
}

struct RunCase {
  const char* name;
  Control control;
  std::string table;
  std::string field_file;
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

// Compares a produced file with its expected copy; KORVANE_UPDATE_EXPECTED=1 rewrites the
// expected copy instead (after a deliberate change, to be reviewed in the diff).
void expect_same_file(const fs::path& produced, const fs::path& expected) {
  ASSERT_TRUE(fs::exists(produced)) << produced;
  if (std::getenv("KORVANE_UPDATE_EXPECTED") != nullptr) {
    fs::create_directories(expected.parent_path());
    fs::copy_file(produced, expected, fs::copy_options::overwrite_existing);
  }
  EXPECT_TRUE(read_file(produced) == read_file(expected))
      << produced.filename() << " differs from " << expected;
}

class WholeRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(WholeRun, LogAndFieldFileAsExpected) {
  const RunCase& c = GetParam();
  for (const char* setting : testing::thread_settings) {
    SCOPED_TRACE(setting);
    ScratchDir dir;
    write_file(dir / "korvane.dat", c.control.text());
    write_file(dir / c.control.table, c.table);
    testing::ProcessResult result = run_korvane(dir.path(), "", setting);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    expect_same_file(dir / "korvane.log", expected_root / c.name / "korvane.log");
    expect_same_file(dir / c.field_file, expected_root / c.name / c.field_file);
  }
}

RunCase direct_format0() {
  // The table lies exactly on the output grid: copied node for node.
  RunCase c{"direct_format0", {}, {}, "eh_EMS.#07"};
  c.control.ifmt = 0;
  c.control.counts[0] = 3, c.control.counts[1] = 5, c.control.counts[2] = 4;
  const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {1.0, 0.5, 2.0 / 3.0};
  c.table = testing::make_table(3, 5, 4, lo, step, 213, 6, asymmetric);
  return c;
}

RunCase quarter_format1() {
  // A quarter with planes at x = 0 and y = 0, unfolded and interpolated.
  RunCase c{"quarter_format1", {}, {}, "eh_EMS.#03"};
  c.control.ifield = 1;
  c.control.isym[0] = 2, c.control.isym[1] = 2;
  c.control.nfile = 3;
  c.control.ifmt = 1;
  c.control.d_elm = "0.008";
  c.control.aper = "0.0035";
  c.control.fscale = "10000";
  c.control.cscale = "0.001";
  c.control.counts[0] = 4, c.control.counts[1] = 5, c.control.counts[2] = 6;
  const double lo[3] = {0.0, 0.0, -5.0}, step[3] = {1.0, 1.0, 2.0};
  c.table = testing::make_table(5, 5, 6, lo, step, 321, 9, quadrupole);
  return c;
}

RunCase half_z_format2() {
  // A half in z (plane at z = 0 with code 1), both field sets written, z fastest.
  RunCase c{"half_z_format2", {}, {}, "eh_EMS.#11"};
  c.control.ifield = 2;
  c.control.isym[2] = 1;
  c.control.nfile = 11;
  c.control.ifmt = 2;
  c.control.ksym[0] = 1;
  c.control.d_elm = "3.0";
  c.control.aper = "0.75";
  c.control.counts[0] = 3, c.control.counts[1] = 3, c.control.counts[2] = 5;
  const double lo[3] = {-1.0, -1.0, 0.0}, step[3] = {0.5, 0.5, 0.5};
  c.table = testing::make_table(5, 5, 4, lo, step, 132, 6, asymmetric);
  return c;
}

// A half z >= 0 with code 2 that the output keeps (isym_z = ksym_z = 2): it stays from z = 0
// up, where the output grid starts, and is not centred.
double kept_half(double x, double y, double z, int c) {
  return c == 0 ? z * (1.0 + x) : c == 1 ? z * (2.0 - y) : 1.0 + x * y + z * z;
}

RunCase kept_z_direct_format1() {
  // The output nodes are the table's nodes: copied node for node.
  RunCase c{"kept_z_direct_format1", {}, {}, "eh_EMS.#07"};
  c.control.isym[2] = 2, c.control.ksym[2] = 2;
  c.control.d_elm = "2.0";
  c.control.counts[0] = 3, c.control.counts[1] = 3, c.control.counts[2] = 3;
  const double lo[3] = {-1.0, -1.0, 0.0}, step[3] = {1.0, 1.0, 0.5};
  c.table = testing::make_table(3, 3, 3, lo, step, 321, 9, kept_half);
  return c;
}

RunCase kept_z_interpolated_format1() {
  // The same half exported from z = 5 (shifted to 0), interpolated onto finer nodes.
  RunCase c{"kept_z_interpolated_format1", {}, {}, "eh_EMS.#08"};
  c.control.isym[2] = 2, c.control.ksym[2] = 2;
  c.control.nfile = 8;
  c.control.d_elm = "2.0";
  c.control.counts[0] = 3, c.control.counts[1] = 3, c.control.counts[2] = 5;
  const double lo[3] = {-1.0, -1.0, 5.0}, step[3] = {1.0, 1.0, 0.5};
  c.table = testing::make_table(3, 3, 3, lo, step, 123, 6,
                                [](double x, double y, double z, int comp) {
                                  return kept_half(x, y, z - 5.0, comp);
                                });
  return c;
}

RunCase no_coordinates_format1() {
  // Three values a record: the grid comes from the control values.
  RunCase c{"no_coordinates_format1", {}, {}, "eh_EMS.#07"};
  c.control.ifield = 0;
  c.control.fscale = "3.5";
  c.control.counts[0] = 3, c.control.counts[1] = 4, c.control.counts[2] = 5;
  const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {1.0, 2.0 / 3.0, 0.5};
  c.table = testing::make_table(3, 4, 5, lo, step, 321, 3, asymmetric);
  return c;
}

// The same conversions written in the other formats: both paths in every format.
RunCase in_format(RunCase c, const char* name, int ifmt) {
  c.name = name;
  c.control.ifmt = ifmt;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeRun,
    ::testing::Values(direct_format0(), in_format(direct_format0(), "direct_format1", 1),
                      in_format(direct_format0(), "direct_format2", 2), quarter_format1(),
                      in_format(quarter_format1(), "quarter_format0", 0), half_z_format2(),
                      no_coordinates_format1(), kept_z_direct_format1(),
                      kept_z_interpolated_format1()),
                         [](const ::testing::TestParamInfo<RunCase>& info) {
                           return std::string(info.param.name);
                         });

class RunEnds : public ::testing::Test {
 protected:
  void SetUp() override {
    control_.counts[0] = 3, control_.counts[1] = 3, control_.counts[2] = 3;
    const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {1.0, 1.0, 1.0};
    write_file(dir_ / "table.txt", testing::make_table(3, 3, 3, lo, step, 123, 6, asymmetric));
  }
  testing::ProcessResult run() {
    write_file(dir_ / "korvane.dat", control_.text());
    return run_korvane(dir_.path());
  }
  std::string log() { return read_file(dir_ / "korvane.log"); }

  ScratchDir dir_;
  Control control_;
};

TEST_F(RunEnds, InvalidFormatStopsAfterTheFileNameRecord) {
  control_.ifmt = 3;
  write_file(dir_ / "eh_EMS.#07", "earlier");
  testing::ProcessResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, " Not a valid PELIX 3D field format: use 0, 1 or 2 \n");
  EXPECT_EQ(r.out, "");
  const std::string l = log();
  const std::string last = "  Output field file name = eh_EMS.#07\r\n";
  ASSERT_GE(l.size(), last.size());
  EXPECT_EQ(l.substr(l.size() - last.size()), last);
  EXPECT_EQ(read_file(dir_ / "eh_EMS.#07"), "earlier");
}

TEST_F(RunEnds, NfileOutsideTwoDigitsWarnsAndWritesAsterisks) {
  control_.nfile = 100;
  control_.ifmt = 7;
  testing::ProcessResult r = run();
  EXPECT_EQ(r.status, 1);
  // The warning comes when the name is built, before the format check stops the run.
  EXPECT_EQ(r.err.rfind("korvane: warning: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("100"), std::string::npos);
  EXPECT_NE(r.err.find("\n Not a valid PELIX 3D field format: use 0, 1 or 2 \n"),
            std::string::npos);

  control_.ifmt = 1;
  r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::exists(dir_ / "eh_EMS.#**"));
  EXPECT_NE(log().find("  Output field file name = eh_EMS.#**\r\n"), std::string::npos);
}

TEST_F(RunEnds, SecondRunRewritesTheLog) {
  ASSERT_EQ(run().status, 0);
  write_file(dir_ / "korvane.log", std::string(100000, '@'));
  ASSERT_EQ(run().status, 0);
  const std::string l = log();
  EXPECT_EQ(l.substr(0, testing::log_header.size()), testing::log_header);
  EXPECT_EQ(l.find('@'), std::string::npos);
}

// A setting of KORVANE_THREADS that is not a positive integer ends the run before any
// file is opened, with one line that names the variable.
TEST(CommandLine, ThreadSettingThatIsNotAPositiveIntegerIsRefused) {
  for (const char* value : {"0", "-2", "two", "''", "1.5", "'2 '", "3x"}) {
    SCOPED_TRACE(value);
    ScratchDir dir;
    const testing::ProcessResult run =
        run_korvane(dir.path(), "", std::string("KORVANE_THREADS=") + value);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("korvane: KORVANE_THREADS=", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
    EXPECT_FALSE(fs::exists(dir / "korvane.log"));
  }
}

TEST(ThreadSetting, CapsTheUsableProcessors) {
  const int usable = usable_processors();
  EXPECT_EQ(run_threads(nullptr), usable);
  EXPECT_EQ(run_threads("1"), 1);
  EXPECT_EQ(run_threads("+1"), 1);
  EXPECT_EQ(run_threads("1000"), usable);
  EXPECT_EQ(run_threads("99999999999"), usable);
}

TEST(CommandLine, HelpVersionAndUnknownArguments) {
  ScratchDir dir;
  testing::ProcessResult help = run_korvane(dir.path(), "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("korvane.dat"), std::string::npos);
  testing::ProcessResult version = run_korvane(dir.path(), "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("korvane ", 0), 0u);
  testing::ProcessResult other = run_korvane(dir.path(), "--frobnicate");
  EXPECT_EQ(other.status, 2);
  EXPECT_EQ(other.err.rfind("korvane: ", 0), 0u);
  EXPECT_EQ(other.err.find('\n'), other.err.size() - 1);
  // Refused before any file is touched: not even the log is written.
  EXPECT_FALSE(fs::exists(dir / "korvane.log"));
}

}  // namespace
}  // namespace korvane
