#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "import/table_import.h"
#include "support/test_support.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane {
namespace {

using testing::ScratchDir;

// The field of every test table is its own node's coordinates, so a value that lands on
// the wrong node shows at once.
double coordinates(double x, double y, double z, int component) {
  return component == 0 ? x : component == 1 ? y : z;
}

class TableFixture : public ::testing::Test {
 protected:
  // Writes the table, probes it and scans it; the log then holds only the grid block.
  void scan(const std::string& table, double cscale = 1.0) {
    testing::write_file(dir / "table.txt", table);
    testing::set_table_name(*store, (dir / "table.txt").string());
    store->cscale = cscale;
    probe_table(*store, run);
    sink.text.clear();
    find_input_grid(*store, run);
  }
  std::string scan_error(const std::string& table) {
    try {
      scan(table);
    } catch (const IoError& error) {
      return error.what();
    }
    ADD_FAILURE() << "no input error";
    return "";
  }
  static std::string grid_block(double x[3], double y[3], double z[3], int n[3], int iord) {
    StringSink text;
    ListWriter block(text);
    block.record(" Input Grid parameters ");
    block.record(" Ximin, Ximax, dXi, Nix = ", x[0], x[1], x[2], n[0]);
    block.record(" Yimin, Yimax, dYi, Niy = ", y[0], y[1], y[2], n[1]);
    block.record(" Zimin, Zimax, dZi, Niz = ", z[0], z[1], z[2], n[2]);
    block.record(" iord= ", iord);
    block.record(" ------------------------------ ");
    return text.text;
  }

  ScratchDir dir;
  StorePtr store = make_store();
  StringSink sink;
  ListWriter log{sink};
  testing::CollectedWarnings warnings;
  RunContext run{"korvane", log, warnings};
};

const double lo345[3] = {-1.0, 2.0, 0.5};
const double step345[3] = {0.5, 0.25, 1.0};

struct OrderCase {
  int iord;
  int columns;
};

void PrintTo(const OrderCase& c, std::ostream* out) {
  *out << "order " << c.iord << ", " << c.columns << " columns";
}

class LoopOrder : public TableFixture, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(LoopOrder, ScanFindsOrderCountsBoundsAndLoadPlacesEveryRecord) {
  const OrderCase c = GetParam();
  scan(testing::make_table(3, 4, 5, lo345, step345, c.iord, c.columns, coordinates));

  EXPECT_EQ(store->ireim, c.columns == 9 ? 1 : 2);
  double x[3] = {-1.0, 0.0, 0.5}, y[3] = {2.0, 2.75, 0.25}, z[3] = {0.5, 4.5, 1.0};
  int n[3] = {3, 4, 5};
  EXPECT_EQ(sink.text, grid_block(x, y, z, n, c.iord));
  EXPECT_NO_THROW(check_input_grid(*store));

  store->ifield = 2;
  fill_grid(*store, run);
  EXPECT_TRUE(warnings.texts.empty());
  for (int k = 1; k <= 5; ++k) {
    for (int j = 1; j <= 4; ++j) {
      for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(store->ExIn(i, j, k), -1.0 + (i - 1) * 0.5) << i << j << k;
        ASSERT_EQ(store->EyIn(i, j, k), 2.0 + (j - 1) * 0.25) << i << j << k;
        ASSERT_EQ(store->EzIn(i, j, k), 0.5 + (k - 1) * 1.0) << i << j << k;
        ASSERT_EQ(store->HxIn(i, j, k), 0.0);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllSix, LoopOrder,
                         ::testing::Values(OrderCase{123, 6}, OrderCase{132, 9},
                                           OrderCase{213, 6}, OrderCase{231, 9},
                                           OrderCase{312, 6}, OrderCase{321, 9}),
                         [](const auto& info) {
                           return "Order" + std::to_string(info.param.iord);
                         });

TEST_F(TableFixture, CscaleTurnsMillimetresIntoMetres) {
  const double lo[3] = {0, 0, 0}, step[3] = {2, 1, 1};
  scan(testing::make_table(11, 2, 2, lo, step, 123, 6, coordinates), 0.001);
  double x[3] = {0.0, 0.02, 0.002}, y[3] = {0.0, 0.001, 0.001}, z[3] = {0.0, 0.001, 0.001};
  int n[3] = {11, 2, 2};
  EXPECT_EQ(sink.text, grid_block(x, y, z, n, 123));
}

TEST_F(TableFixture, DecreasingCoordinatesGiveReversedBoundsAndAreRefused) {
  const double lo[3] = {20, 0, 0}, step[3] = {-2, 1, 1};
  scan(testing::make_table(11, 2, 3, lo, step, 123, 6, coordinates));
  EXPECT_EQ(store->Ximin, 20.0);
  EXPECT_EQ(store->Ximax, 0.0);
  EXPECT_EQ(store->dXi, -2.0);
  EXPECT_EQ(store->Nix, 11);
  try {
    check_input_grid(*store);
    FAIL() << "no stop";
  } catch (const FatalStop& stop) {
    EXPECT_STREQ(stop.what(), " Input grid coordinates must increase along each axis ");
  }
}

TEST_F(TableFixture, TrailingTextRecordAfterAFullMeshChangesNothing) {
  scan(testing::make_table(3, 4, 5, lo345, step345, 231, 6, coordinates) + "end of table\n");
  double x[3] = {-1.0, 0.0, 0.5}, y[3] = {2.0, 2.75, 0.25}, z[3] = {0.5, 4.5, 1.0};
  int n[3] = {3, 4, 5};
  EXPECT_EQ(sink.text, grid_block(x, y, z, n, 231));
}

TEST_F(TableFixture, OnlyAWholeExtraPlaneRaisesTheSlowCount) {
  const std::string mesh = testing::make_table(3, 4, 5, lo345, step345, 123, 6, coordinates);
  const std::string plane = "-1 2 5.5 0 0 0\n-0.5 2 5.5 0 0 0\n0 2 5.5 0 0 0\n";
  scan(mesh + plane + plane + plane);  // 9 extra records: less than a plane of 12
  EXPECT_EQ(store->Niz, 5);
  EXPECT_EQ(store->Nix, 3);
  EXPECT_EQ(store->Niy, 4);
  scan(mesh + plane + plane + plane + plane);
  EXPECT_EQ(store->Niz, 6);
}

TEST_F(TableFixture, ExtraRecordEndingAtTheFirstRecordIsRefused) {
  // The last record read sets the upper bounds: here back at the first record's x and y.
  scan(testing::make_table(3, 4, 5, lo345, step345, 123, 6, coordinates) + "-1 2 5.5 0 0 0\n");
  EXPECT_EQ(store->Nix, 3);
  EXPECT_EQ(store->Ximax, -1.0);
  EXPECT_THROW(check_input_grid(*store), FatalStop);
}

TEST_F(TableFixture, FirstTwoRecordsAlikeFindNoGrid) {
  scan("0 0 0 1 2 3\n0 0 0 1 2 3\n1 0 0 1 2 3\n");
  EXPECT_EQ(store->Nix, 0);
  EXPECT_EQ(store->iord, 0);
  try {
    check_input_grid(*store);
    FAIL() << "no stop";
  } catch (const FatalStop& stop) {
    EXPECT_STREQ(stop.what(), " Input grid not found in the export table ");
  }
}

TEST_F(TableFixture, GridFromControlValuesWithoutCoordinates) {
  testing::set_table_name(*store, (dir / "never-read.txt").string());
  store->ireim = 3;
  store->aper = 0.02;
  store->d_elm = 0.1;
  store->isym_x = 1;
  store->Nox = 11, store->Noy = 5, store->Noz = 3;
  store->iord = 213;
  find_input_grid(*store, run);
  double x[3] = {0.0, 0.02, 0.002}, y[3] = {-0.02, 0.02, 0.01}, z[3] = {-0.05, 0.05, 0.05};
  int n[3] = {11, 5, 3};
  EXPECT_EQ(sink.text, grid_block(x, y, z, n, 0));
}

// Tables the scan cannot take: each ends with an input error naming unit 2, the file and
// the line where reading stopped.
struct ScanErrorCase {
  const char* name;
  const char* table;
  const char* where;
};

void PrintTo(const ScanErrorCase& c, std::ostream* out) { *out << c.name; }

class ScanError : public TableFixture, public ::testing::WithParamInterface<ScanErrorCase> {};

TEST_P(ScanError, NamesUnitFileAndLine) {
  const std::string message = scan_error(GetParam().table);
  EXPECT_NE(message.find("unit 2, file '"), std::string::npos) << message;
  EXPECT_NE(message.find("table.txt'"), std::string::npos) << message;
  EXPECT_NE(message.find(GetParam().where), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ScanError,
    ::testing::Values(
        ScanErrorCase{"SingleRecord", "0 0 0 1 2 3\n",
                      "end of file after line 1 while reading the coordinates of record 2"},
        // The second read once named record 1.
        ScanErrorCase{"UnreadableSecondRecord", "0 0 0 1 2 3\n0 y 0 1 2 3\n",
                      "line 2: 'y' is not a real number (reading the coordinates of record 2)"},
        ScanErrorCase{"LineOfPoints", "0 0 0 1 2 3\n1 0 0 1 2 3\n2 0 0 1 2 3\n",
                      "end of file after line 3"},
        ScanErrorCase{"PlaneOfPoints",
                      "0 0 0 1 2 3\n1 0 0 1 2 3\n0 1 0 1 2 3\n1 1 0 1 2 3\n",
                      "end of file after line 4"},
        ScanErrorCase{"UnreadableCoordinate",
                      "0 0 0 1 2 3\n1 0 0 1 2 3\n0 l 0 1 2 3\n",
                      "line 3: 'l' is not a real number (reading the coordinates of record 3)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The tests of the grid just found, in their order.
struct GridCheckCase {
  const char* name;
  void (*change)(FieldStore&);
  const char* stop;  // nullptr: accepted
};

void PrintTo(const GridCheckCase& c, std::ostream* out) { *out << c.name; }

class GridCheck : public ::testing::TestWithParam<GridCheckCase> {};

TEST_P(GridCheck, StopsWithTheFirstFailingTest) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  s.Nix = 3, s.Niy = 4, s.Niz = 5;
  s.dXi = s.dYi = s.dZi = 1.0;
  s.Ximax = 2.0, s.Yimax = 3.0, s.Zimax = 4.0;
  GetParam().change(s);
  if (GetParam().stop == nullptr) {
    EXPECT_NO_THROW(check_input_grid(s));
    return;
  }
  try {
    check_input_grid(s);
    FAIL() << "no stop";
  } catch (const FatalStop& stop) {
    EXPECT_STREQ(stop.what(), GetParam().stop);
  }
}

constexpr const char* not_found = " Input grid not found in the export table ";
constexpr const char* too_large = " Input grid larger than max input grid ";
constexpr const char* not_increasing = " Input grid coordinates must increase along each axis ";
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Grids, GridCheck,
    ::testing::Values(
        GridCheckCase{"Valid", [](FieldStore&) {}, nullptr},
        GridCheckCase{"ZeroCount", [](FieldStore& s) { s.Niy = 0; }, not_found},
        GridCheckCase{"ZeroCountBeforeReversedAxis",
                      [](FieldStore& s) { s.Niz = 0, s.dXi = -1; }, not_found},
        GridCheckCase{"XAboveCapacity", [](FieldStore& s) { s.Nix = 51; }, too_large},
        GridCheckCase{"XAtCapacity", [](FieldStore& s) { s.Nix = 50; }, nullptr},
        GridCheckCase{"ZAboveCapacity", [](FieldStore& s) { s.Niz = 403; }, too_large},
        GridCheckCase{"ZAtCapacity", [](FieldStore& s) { s.Niz = 402; }, nullptr},
        GridCheckCase{"UnfoldedXAboveCapacity",
                      [](FieldStore& s) { s.Nix = 26, s.isym_x = 1; }, too_large},
        GridCheckCase{"UnfoldedXAtCapacity",
                      [](FieldStore& s) { s.Nix = 25, s.isym_x = 2; }, nullptr},
        GridCheckCase{"KeptPlaneIsNotUnfolded",
                      [](FieldStore& s) { s.Nix = 26, s.isym_x = 1, s.ksym_x = 1; }, nullptr},
        GridCheckCase{"PlaneWithOtherOutputCodeIsUnfolded",
                      [](FieldStore& s) { s.Niy = 26, s.isym_y = 1, s.ksym_y = 2; }, too_large},
        GridCheckCase{"UnfoldedZAboveCapacity",
                      [](FieldStore& s) { s.Niz = 202, s.isym_z = 2; }, too_large},
        GridCheckCase{"UnfoldedZAtCapacity",
                      [](FieldStore& s) { s.Niz = 201, s.isym_z = 1; }, nullptr},
        GridCheckCase{"TooLargeBeforeReversedAxis",
                      [](FieldStore& s) { s.Nix = 60, s.dYi = -1; }, too_large},
        GridCheckCase{"ZeroStep", [](FieldStore& s) { s.dXi = 0; }, not_increasing},
        GridCheckCase{"NegativeStep", [](FieldStore& s) { s.dZi = -0.5; }, not_increasing},
        GridCheckCase{"StepNotANumber", [](FieldStore& s) { s.dYi = nan; }, not_increasing},
        GridCheckCase{"UpperBoundAtLowerBound", [](FieldStore& s) { s.Zimax = 0; },
                      not_increasing},
        GridCheckCase{"BoundNotANumber", [](FieldStore& s) { s.Ximax = nan; },
                      not_increasing}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
