// The table a control file names, read through the converter's phases in the control
// file's folder: each record's line, place and scaled field, and errors in another voice.
#include "driver/source_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "support/test_support.h"

namespace korvane {
namespace {

using testing::ScratchDir;

std::string error_of(const std::string& control) {
  try {
    read_source_table(control, "korvane-inspect");
  } catch (const SourceError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no error";
  return "";
}

// 2 x 2 x 3 records, z fastest from z = 4, CR LF line ends, a blank line before record 5
// and record 7 split over two lines (after y: the scan reads the coordinates only): the line
// each record starts on.
TEST(SourceTable, RecordsKeepTheirLinesPlacesAndScaledField) {
  ScratchDir dir;
  testing::Control control;
  control.ifield = 1;
  control.fscale = "2.0";
  control.cscale = "0.5";
  control.counts[0] = 2, control.counts[1] = 2, control.counts[2] = 3;
  testing::write_file(dir / "korvane.dat", control.text());
  std::string table;
  int line = 0;
  long lines[12];
  for (int r = 0; r < 12; ++r) {
    const int x = r / 6, y = r / 3 % 2, z = 4 + r % 3;
    if (r == 4) table += "\r\n", ++line;
    lines[r] = ++line;
    table += std::to_string(x) + " " + std::to_string(y);
    if (r == 6) table += "\r\n", ++line;
    table += " " + std::to_string(z) + " " + std::to_string(r) + " 1 -1 0 0 0\r\n";
  }
  testing::write_file(dir / "table.txt", table);

  // Read from elsewhere: the table is found beside the control file.
  const SourceTable t = read_source_table((dir / "korvane.dat").string(), "korvane-inspect");
  EXPECT_EQ(t.table, (dir / "table.txt").string());
  ASSERT_EQ(t.records.size(), 12u);
  EXPECT_EQ(t.iord, 321);
  for (int r = 0; r < 12; ++r) {
    const SourceRecord& record = t.records[static_cast<std::size_t>(r)];
    EXPECT_EQ(record.line, lines[r]) << r;
    EXPECT_EQ(record.x, 0.5 * (r / 6)) << r;
    EXPECT_EQ(record.y, 0.5 * (r / 3 % 2)) << r;
    // z from 2 to 3 (times cscale) is shifted to 0 .. 1, then centred on 0.
    EXPECT_EQ(record.z, 0.5 * (r % 3) - 0.5) << r;
    // The set the table fills, H for ifield 1.
    const double expected[3] = {2.0 * r, 2.0, -2.0};
    for (int c = 0; c < 3; ++c) EXPECT_EQ(record.field[c], expected[c]) << r << c;
  }
  EXPECT_EQ(t.z_moved, -2.5);
}

// A table without coordinates sits on the grid the converter builds from the control values.
TEST(SourceTable, RecordsWithoutCoordinatesTakeTheGridOfTheControlValues) {
  ScratchDir dir;
  testing::Control control;  // aper 1, d_elm 2, 3 x 3 x 3 nodes
  testing::write_file(dir / "korvane.dat", control.text());
  const double lo[3] = {0, 0, 0}, step[3] = {1, 1, 1};
  testing::write_file(dir / "table.txt",
                      testing::make_table(3, 3, 3, lo, step, 321, 3,
                                          [](double, double, double, int) { return 1.0; }));
  const SourceTable t = read_source_table((dir / "korvane.dat").string(), "korvane-inspect");
  ASSERT_EQ(t.records.size(), 27u);
  EXPECT_EQ(t.ireim, 3);
  const SourceRecord& last = t.records.back();
  EXPECT_EQ(last.x, 1.0);
  EXPECT_EQ(last.y, 1.0);
  EXPECT_EQ(last.z, 1.0);
  EXPECT_EQ(t.records[0].z, -1.0);
  EXPECT_EQ(t.records[0].field[0], 0.01);
  EXPECT_EQ(t.rounding, 0.0);
}

// Where the first record (table z = 1.5, 5 nodes a step 0.5 apart) lands in z.
struct ZCase {
  const char* name;
  int isym_z, ksym_z;
  double first_z;
  bool kept;
};

void PrintTo(const ZCase& c, std::ostream* os) { *os << c.name; }

class SourceTableZ : public ::testing::TestWithParam<ZCase> {};

TEST_P(SourceTableZ, FirstRecordLandsWhereTheConverterPutsIt) {
  const ZCase& c = GetParam();
  ScratchDir dir;
  testing::Control control;
  control.isym[2] = c.isym_z, control.ksym[2] = c.ksym_z;
  testing::write_file(dir / "korvane.dat", control.text());
  const double lo[3] = {-1, -1, 1.5}, step[3] = {1, 1, 0.5};
  testing::write_file(dir / "table.txt",
                      testing::make_table(3, 3, 5, lo, step, 321, 6,
                                          [](double, double, double, int) { return 1.0; }));
  const SourceTable t = read_source_table((dir / "korvane.dat").string(), "korvane-inspect");
  EXPECT_EQ(t.records.front().z, c.first_z);
  EXPECT_EQ(t.records.back().z, c.first_z + 2.0);
  EXPECT_EQ(t.z_half_kept, c.kept);
  EXPECT_EQ(t.isym[2], c.isym_z);  // as read, not as the unfolding clears it
}

INSTANTIATE_TEST_SUITE_P(Placement, SourceTableZ,
                         ::testing::Values(ZCase{"CentredWhenNothingIsUnfolded", 0, 0, -1.0, false},
                                           ZCase{"PlaneAtZeroWhenUnfolded", 1, 0, 0.0, false},
                                           ZCase{"FromZeroUpWhenTheHalfIsKept", 2, 2, 0.0, true},
                                           ZCase{"CentredWhenOnlyTheOutputDeclaresThePlane", 0, 1,
                                                 -1.0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Faults of the control file and the table, in the asking program's voice, located as the
// converter locates them.
struct FaultCase {
  const char* name;
  const char* table;  // nullptr: no table file
  int nox;
  const char* expected;  // after "korvane-inspect: "; DIR stands for the folder
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class SourceTableFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SourceTableFault, IsReportedInTheAskingProgramsVoice) {
  const FaultCase& c = GetParam();
  ScratchDir dir;
  testing::Control control;
  control.counts[0] = c.nox;
  testing::write_file(dir / "korvane.dat", control.text());
  if (c.table != nullptr) testing::write_file(dir / "table.txt", c.table);
  std::string expected = std::string("korvane-inspect: ") + c.expected;
  const std::string folder = dir.path().string();
  for (std::size_t at; (at = expected.find("DIR")) != std::string::npos;) {
    expected.replace(at, 3, folder);
  }
  EXPECT_EQ(error_of((dir / "korvane.dat").string()).substr(0, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SourceTableFault,
    ::testing::Values(
        FaultCase{"MissingTable", nullptr, 3, "unit 2, file 'DIR/table.txt'"},
        FaultCase{"BadValueOnItsLine",
                  "0 0 0 1 1 1\n0 0 1 1 1 1\n0 1 0 1 1 1\n0 1 1 1 1 1\n"
                  "1 0 0 1 1 1\n1 0 1 1 x 1\n1 1 0 1 1 1\n1 1 1 1 1 1\n",
                  3, "unit 2, file 'DIR/table.txt', line 6: 'x' is not a real number"},
        FaultCase{"StopOfTheControlChecks", nullptr, 26,
                  "file 'DIR/korvane.dat': a run of this control file stops: Output grid "
                  "larger than max PELIX grid"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
