// A field map against its source table: maps the converter makes on the table's own nodes,
// on another grid and with a kept plane, and a hand-built map whose trilinear value at a
// record is worked out by hand.
#include "inspect/analysis/source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <ostream>
#include <string>

#include "driver/conversion.h"
#include "support/test_support.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

using korvane::testing::ScratchDir;

// A narrow peak on the axis: what a grid of another step cannot follow.
double peaked(double x, double y, double z, int c) {
  const double peak = std::exp(-8.0 * (x * x + y * y)) * std::cos(z);
  return c == 0 ? peak : c == 1 ? 0.5 * peak * x : 1.0 + y * z;
}

// What the second-order interpolation reproduces up to rounding wherever it stands.
double quadratic(double x, double y, double z, int c) {
  return c == 0 ? 1.0 + x * y - z * z : c == 1 ? x * x - 0.5 * y : 2.0 + y * z + x;
}

// Odd in x and in y where the code 1 planes x = 0 and y = 0 make a component odd.
double quarter_quadratic(double x, double y, double z, int c) {
  return c == 0 ? x * (1.0 + z) : c == 1 ? y * (1.0 - z) : 1.0 + x * x - y * y + z;
}

using Field = double (*)(double x, double y, double z, int c);

struct RoadCase {
  const char* name;
  Field field;
  int isym[3], ksym[3];
  double table_z0;  // the table's first z; x and y run from -1 (0 for a half) in 0.5 steps
  int counts[3];    // of the output
  long outside;     // of the table's records
  bool departs;     // above 1 %, else at most 1e-12
};

void PrintTo(const RoadCase& c, std::ostream* os) { *os << c.name; }

class SourceRoad : public ::testing::TestWithParam<RoadCase> {};

// Converts the table in-process and compares the map it made with the table.
TEST_P(SourceRoad, DepartureOfTheConvertersMap) {
  const RoadCase& c = GetParam();
  ScratchDir dir;
  korvane::testing::Control control;
  for (int a = 0; a < 3; ++a) {
    control.isym[a] = c.isym[a], control.ksym[a] = c.ksym[a], control.counts[a] = c.counts[a];
  }
  control.ifield = 1;
  control.fscale = "2.5";
  control.d_elm = c.ksym[2] != 0 ? "6.0" : "3.0";
  testing::write_file(dir / "korvane.dat", control.text());
  const int nx = c.isym[0] != 0 ? 3 : 5, ny = c.isym[1] != 0 ? 3 : 5;
  const double lo[3] = {c.isym[0] != 0 ? 0.0 : -1.0, c.isym[1] != 0 ? 0.0 : -1.0, c.table_z0};
  const double step[3] = {0.5, 0.5, 0.5};
  testing::write_file(dir / "table.txt", testing::make_table(nx, ny, 7, lo, step, 321, 9, c.field));

  StorePtr store = make_store();
  korvane::testing::CollectedWarnings warnings;
  {
    korvane::testing::WorkingDir here(dir.path());
    const RunOutcome outcome = run_conversion(*store, warnings);
    ASSERT_EQ(outcome.status, 0) << outcome.message;
  }
  const std::unique_ptr<FieldMap> map = map_of_store(*store);
  const SourceTable table = read_source_table((dir / "korvane.dat").string(), "korvane-inspect");
  const SourceComparison result = compare_with_source(*map, table, 0.01);
  const std::string report = render_source_report(result, table, 0.01);

  EXPECT_EQ(result.set, 'H');
  EXPECT_EQ(result.outside, c.outside) << report;
  EXPECT_EQ(result.all.records + result.outside, static_cast<long>(table.records.size()));
  EXPECT_EQ(result.fault, c.departs) << report;
  if (c.departs) {
    EXPECT_GT(result.max, 0.01) << report;
  } else {
    EXPECT_LE(result.max, 1e-12) << report;
    EXPECT_EQ(result.on_nodes.records, result.all.records) << report;
  }
  const std::string last = "source departure: max " + general_number(result.max, 3) + ", rms " +
                           general_number(result.rms, 3) + "\n";
  ASSERT_GE(report.size(), last.size());
  EXPECT_EQ(report.substr(report.size() - last.size()), last);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, SourceRoad,
    ::testing::Values(
        // The direct path; the table's z from 0 is centred on 0 as the map is.
        RoadCase{"OnTheTablesOwnNodes", peaked, {0, 0, 0}, {0, 0, 0}, 0.0, {5, 5, 7}, 0, false},
        RoadCase{"TableZElsewhereIsPlacedAsKorvanePlacesIt",
                 peaked,
                 {0, 0, 0},
                 {0, 0, 0},
                 7.25,
                 {5, 5, 7},
                 0,
                 false},
        // The map keeps x = 0 from a full table: the x < 0 side is outside it. The map is
        // interpolated, its nodes the table's own.
        RoadCase{"KeptPlaneOfAFullTable",
                 quadratic,
                 {0, 0, 0},
                 {1, 0, 0},
                 0.0,
                 {3, 5, 7},
                 2 * 5 * 7,
                 false},
        RoadCase{"KeptXHalf", peaked, {1, 0, 0}, {1, 0, 0}, 0.0, {3, 5, 7}, 0, false},
        RoadCase{"KeptZHalf", peaked, {0, 0, 2}, {0, 0, 2}, 0.0, {5, 5, 7}, 0, false},
        RoadCase{"RegriddedOntoAnotherStep", peaked, {0, 0, 0}, {0, 0, 0}, 0.0, {4, 4, 6}, 0, true},
        // Unfolded: the map's nodes are the unfolded table's own, interpolated.
        RoadCase{"UnfoldedQuarterOnItsOwnNodes",
                 quarter_quadratic,
                 {1, 1, 0},
                 {0, 0, 0},
                 0.0,
                 {5, 5, 7},
                 0,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

// One cell x 0..1, y 0..2, z -1..1 holding Ex = u + 2v + 4w + 8uvw in the cell's own
// coordinates (u, v, w in 0..1), which trilinear interpolation reproduces exactly, and Ey = 3.
std::unique_ptr<FieldMap> cell_map() {
  std::unique_ptr<FieldMap> map = make_field_map();
  map->sets = FieldSets::electric;
  map->Nox = map->Noy = map->Noz = 2;
  map->xmws(1) = 0.0, map->xmws(2) = 1.0;
  map->ymws(1) = 0.0, map->ymws(2) = 2.0;
  map->zmws(1) = -1.0, map->zmws(2) = 1.0;
  for (int k = 1; k <= 2; ++k) {
    for (int j = 1; j <= 2; ++j) {
      for (int i = 1; i <= 2; ++i) {
        const double u = i - 1, v = j - 1, w = k - 1;
        map->ExOut(i, j, k) = u + 2 * v + 4 * w + 8 * u * v * w;
        map->EyOut(i, j, k) = 3.0;
      }
    }
  }
  return map;
}

SourceTable one_record(double x, double y, double z, double ex) {
  SourceTable table;
  SourceRecord record;
  record.line = 12;
  record.x = x, record.y = y, record.z = z;
  record.field[0] = ex, record.field[1] = 3.0;
  table.records.push_back(record);
  return table;
}

struct PlaceCase {
  const char* name;
  double x, y, z, ex;
  bool nan_node;
  bool inside, on_node;
  double departure;  // of Ex, relative to |(ex, 3, 0)|
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

class SourcePlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(SourcePlace, TrilinearDepartureAtTheRecord) {
  const PlaceCase& c = GetParam();
  std::unique_ptr<FieldMap> map = cell_map();
  if (c.nan_node) map->ExOut(2, 2, 2) = std::numeric_limits<double>::quiet_NaN();
  const SourceComparison result = compare_with_source(*map, one_record(c.x, c.y, c.z, c.ex), 0.01);
  EXPECT_EQ(result.all.records, c.inside ? 1 : 0);
  EXPECT_EQ(result.outside, c.inside ? 0 : 1);
  EXPECT_EQ(result.on_nodes.records, c.on_node ? 1 : 0);
  if (c.inside) {
    EXPECT_EQ(result.all.worst[0].relative, c.departure);
    EXPECT_EQ(result.all.worst[1].relative, 0.0);  // Ey = 3 everywhere
  }
  EXPECT_EQ(result.fault, !(c.departure <= 0.01) || !c.inside);
}

INSTANTIATE_TEST_SUITE_P(
    Cell, SourcePlace,
    ::testing::Values(
        // u = 0.25, v = 0.5, w = 0.75: 0.25 + 1 + 3 + 0.75 = 5 against 4, over |(4, 3, 0)|.
        PlaceCase{"BetweenNodesIsTrilinear", 0.25, 1.0, 0.5, 4.0, false, true, false, 0.2},
        PlaceCase{"OnANodeIsThatNodesValue", 1.0, 2.0, 1.0, 15.0, false, true, true, 0.0},
        PlaceCase{"PastTheEndWithinTheToleranceIsOnIt", 1.0 + 1e-10, 2.0, 1.0, 15.0, false, true,
                  true, 0.0},
        PlaceCase{"PastTheEndBeyondItIsOutside", 1.0 + 1e-8, 2.0, 1.0, 15.0, false, false, false,
                  0.0},
        PlaceCase{"NotANumberInTheMapDepartsWithoutBound", 0.25, 1.0, 0.5, 4.0, true, true, false,
                  std::numeric_limits<double>::infinity()},
        // A node of weight 0 is not read, even when it is not a number.
        PlaceCase{"NotANumberElsewhereLeavesANodeExact", 0.0, 0.0, -1.0, 0.0, true, true, true,
                  0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceReport, EndsWithTheDepartureLine) {
  SourceTable table = one_record(0.25, 1.0, 0.5, 4.0);
  table.records.push_back(one_record(0.0, 0.0, -1.0, 0.0).records[0]);  // on a node, exact
  const SourceComparison result = compare_with_source(*cell_map(), table, 0.25);
  EXPECT_FALSE(result.fault);
  // rms over the two records: sqrt((1^2 + 0) / 2) / 5.
  const std::string report = render_source_report(result, table, 0.25);
  const std::string last = "source departure: max 0.2, rms 0.141\n";
  ASSERT_GE(report.size(), last.size());
  EXPECT_EQ(report.substr(report.size() - last.size()), last) << report;
  // The first Ex line: its departure, line and place.
  const std::size_t ex = report.find("\n    Ex ");
  ASSERT_NE(ex, std::string::npos) << report;
  const std::string ex_line = report.substr(ex + 1, report.find('\n', ex + 1) - ex - 1);
  EXPECT_NE(ex_line.find(" 0.2 "), std::string::npos) << ex_line;
  EXPECT_NE(ex_line.find(" 12 "), std::string::npos) << ex_line;
  EXPECT_NE(ex_line.find(" (0.25, 1, 0.5)"), std::string::npos) << ex_line;
  EXPECT_TRUE(compare_with_source(*cell_map(), table, 0.01).fault);
}

}  // namespace
}  // namespace korvane::inspect
