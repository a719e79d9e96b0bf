// Two runs on the same input give the same log and the same field file, byte for byte:
// in two folders, and again in a folder that holds a longer log and another field file
// from an earlier run (both must be rewritten whole, nothing of them kept).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/test_support.h"

namespace korvane::testing {
namespace {

double sloped_field(double x, double y, double z, int component) {
  return component == 0 ? 0.3 * x - y * z : component == 1 ? x * y + 1.5 : z * z - 0.1 * x;
}

struct DeterminismCase {
  const char* name;
  Control control;
  std::string table;
};

void PrintTo(const DeterminismCase& c, std::ostream* out) { *out << c.name; }

std::vector<DeterminismCase> determinism_cases() {
  std::vector<DeterminismCase> cases;
  {
    // A quarter exported with z fastest, unfolded in x and y and interpolated; format 0.
    DeterminismCase c{"QuarterUnfoldedInterpolatedFormat0", {}, {}};
    c.control.isym[0] = 1;
    c.control.isym[1] = 2;
    c.control.ifmt = 0;
    c.control.ifield = 1;
    c.control.aper = "0.9";
    c.control.counts[0] = 7, c.control.counts[1] = 6, c.control.counts[2] = 9;
    const double lo[3] = {0.0, 0.0, 0.25}, step[3] = {0.25, 0.25, 0.2};
    c.table = make_table(5, 5, 11, lo, step, 321, 9, sloped_field);
    cases.push_back(c);
  }
  {
    // The same grid in and out: the direct path; format 1.
    DeterminismCase c{"SameGridDirectFormat1", {}, {}};
    c.control.counts[0] = 5, c.control.counts[1] = 5, c.control.counts[2] = 5;
    const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {0.5, 0.5, 0.5};
    c.table = make_table(5, 5, 5, lo, step, 213, 6, sloped_field);
    cases.push_back(c);
  }
  {
    // No coordinates, both field sets; format 2.
    DeterminismCase c{"NoCoordinatesFormat2", {}, {}};
    c.control.ifield = 2;
    c.control.ifmt = 2;
    c.control.counts[0] = 4, c.control.counts[1] = 3, c.control.counts[2] = 6;
    const double lo[3] = {0.0, 0.0, 0.0}, step[3] = {1.0, 1.0, 1.0};
    c.table = make_table(4, 3, 6, lo, step, 321, 3, sloped_field);
    cases.push_back(c);
  }
  return cases;
}

class Determinism : public ::testing::TestWithParam<DeterminismCase> {};

TEST_P(Determinism, TwoRunsWriteIdenticalLogAndFieldFile) {
  const DeterminismCase& c = GetParam();
  ScratchDir first, second;
  for (const ScratchDir* dir : {&first, &second}) {
    write_file(*dir / "korvane.dat", c.control.text());
    write_file(*dir / "table.txt", c.table);
  }
  // Leftovers of an earlier, larger run in the second folder.
  write_file(second / "korvane.log", std::string(200000, 'L'));
  write_file(second / "eh_EMS.#07", std::string(3000000, 'F'));

  // One run on every usable processor, the other on one thread.
  const ProcessResult a = run_korvane(first.path());
  const ProcessResult b = run_korvane(second.path(), "", "KORVANE_THREADS=1");
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.err, b.err);

  const std::string log = read_file(first / "korvane.log");
  const std::string field = read_file(first / "eh_EMS.#07");
  ASSERT_FALSE(field.empty());
  EXPECT_TRUE(log == read_file(second / "korvane.log")) << "logs differ";
  EXPECT_TRUE(field == read_file(second / "eh_EMS.#07")) << "field files differ";

  // Once more in the first folder, over its own results.
  const ProcessResult again = run_korvane(first.path());
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(log == read_file(first / "korvane.log")) << "log differs on a rerun";
  EXPECT_TRUE(field == read_file(first / "eh_EMS.#07")) << "field file differs on a rerun";
}

INSTANTIATE_TEST_SUITE_P(Runs, Determinism, ::testing::ValuesIn(determinism_cases()),
                         [](const ::testing::TestParamInfo<DeterminismCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace korvane::testing
