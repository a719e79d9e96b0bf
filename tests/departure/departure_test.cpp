// The comparison of a map with its table on teams of any size: the records fall into fixed
// blocks whose figures are merged in block order, so every figure, every worst place and
// each record's departure are those the caller finds alone.
#include "departure/departure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "driver/conversion.h"
#include "support/test_support.h"

namespace korvane {
namespace {

// Peaked across the axis, so that the coarser map departs at almost every record and many
// records tie on nothing.
double peaked(double x, double y, double z, int c) {
  const double peak = std::exp(-6.0 * (x * x + y * y)) * std::cos(1.7 * z);
  return c == 0 ? peak : c == 1 ? peak * x * y : 1.0 + 0.3 * y * z;
}

void expect_same(const Departures& a, const Departures& b) {
  EXPECT_EQ(a.records, b.records);
  EXPECT_EQ(a.rms, b.rms);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(a.worst[c].relative, b.worst[c].relative) << c;
    EXPECT_EQ(a.worst[c].line, b.worst[c].line) << c;
    EXPECT_EQ(a.worst[c].x, b.worst[c].x) << c;
    EXPECT_EQ(a.worst[c].y, b.worst[c].y) << c;
    EXPECT_EQ(a.worst[c].z, b.worst[c].z) << c;
  }
}

TEST(CompareWithSource, EveryFigureIsTheCallersOnAnyTeam) {
  testing::ScratchDir dir;
  testing::Control control;
  control.ifield = 1;
  control.counts[0] = 9, control.counts[1] = 9, control.counts[2] = 31;
  control.d_elm = "3.0";  // the table spans 3.75 in z: records at both ends lie outside the map
  testing::write_file(dir / "korvane.dat", control.text());
  // 33 x 33 x 61 records: more than one of the comparison's blocks.
  const double lo[3] = {-1.0, -1.0, 0.0}, step[3] = {0.0625, 0.0625, 0.0625};
  testing::write_file(dir / "table.txt", testing::make_table(33, 33, 61, lo, step, 321, 6, peaked));
  StorePtr store = make_store();
  {
    testing::WorkingDir here(dir.path());
    testing::CollectedWarnings warnings;
    ASSERT_EQ(run_conversion(*store, warnings).status, 0);
  }
  const std::unique_ptr<FieldMap> map = map_of_store(*store);
  const SourceTable table = read_source_table((dir / "korvane.dat").string(), "korvane-inspect");

  const SourceComparison alone = compare_with_source(*map, table, 0.01);
  ASSERT_GT(alone.outside, 0);
  ASSERT_GT(alone.max, 0.0);
  for (const int threads : {2, 5}) {
    SCOPED_TRACE(threads);
    TaskPool team(threads);
    const SourceComparison r = compare_with_source(*map, table, 0.01, &team);
    EXPECT_EQ(r.reference, alone.reference);
    EXPECT_EQ(r.outside, alone.outside);
    for (int a = 0; a < 3; ++a) EXPECT_EQ(r.outside_by_axis[a], alone.outside_by_axis[a]);
    expect_same(r.all, alone.all);
    expect_same(r.on_nodes, alone.on_nodes);
    EXPECT_EQ(r.max, alone.max);
    EXPECT_EQ(r.rms, alone.rms);
    EXPECT_EQ(r.worst_record, alone.worst_record);
    // Bit for bit, NaN for the records outside included.
    ASSERT_EQ(r.departure.size(), alone.departure.size());
    EXPECT_EQ(std::memcmp(r.departure.data(), alone.departure.data(),
                          r.departure.size() * sizeof(double)),
              0);
  }
}

}  // namespace
}  // namespace korvane
