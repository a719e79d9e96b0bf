// The physics checks on fields that went through the real converter, right and wrong.
#include "inspect/analysis/checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "driver/conversion.h"
#include "fieldfile/field_reader.h"
#include "inspect/analysis/parity.h"
#include "inspect/analysis/summary.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

using korvane::testing::CollectedWarnings;
using korvane::testing::Control;
using korvane::testing::ScratchDir;
using korvane::testing::WorkingDir;

// A quadrupole with a constant gradient: B = G (y, x, 0), free of divergence and curl. At
// x = 0 the components parallel to the plane (By, Bz) vanish, likewise at y = 0 (Bx, Bz):
// code 2 on both; Bz vanishes at z = 0: code 1 there.
double quadrupole(double x, double y, double, int component) {
  constexpr double gradient = 20.0;
  return component == 0 ? gradient * y : component == 1 ? gradient * x : 0.0;
}

// Converts the quadrupole exported on the quarter x >= 0, y >= 0 with the given codes and
// output counts, and reads the field file back.
class ConvertedQuadrupole : public ::testing::Test {
 protected:
  void convert(const int isym[3], const int ksym[3], const int counts[3], int ifmt = 1) {
    const double lo[3] = {0.0, 0.0, -0.05}, step[3] = {0.005, 0.005, 0.01};
    korvane::testing::write_file(
        dir / "table.txt", korvane::testing::make_table(5, 5, 11, lo, step, 321, 9, quadrupole));
    Control control;
    control.ifield = 1;
    control.ifmt = ifmt;
    control.d_elm = "0.1";
    control.aper = "0.02";
    for (int a = 0; a < 3; ++a) {
      control.isym[a] = isym[a];
      control.ksym[a] = ksym[a];
      control.counts[a] = counts[a];
    }
    korvane::testing::write_file(dir / "korvane.dat", control.text());
    {
      WorkingDir here(dir.path());
      StorePtr converter = make_store();
      CollectedWarnings warnings;
      const RunOutcome outcome = run_conversion(*converter, warnings);
      EXPECT_EQ(outcome.status, 0) << outcome.message;
    }
    map = read_field_file((dir / "eh_EMS.#07").string(), TripleSet::magnetic);
  }

  const FieldSet magnetic() const { return field_sets(*map)[0]; }

  ScratchDir dir;
  std::unique_ptr<FieldMap> map;
};

TEST_F(ConvertedQuadrupole, DivergenceAtRoundingLevelAndOddComponentsZeroOnThePlanes) {
  // Unfolded to the full section and interpolated between the input nodes.
  const int isym[3] = {2, 2, 0}, full[3] = {0, 0, 0}, counts[3] = {6, 7, 9};
  convert(isym, full, counts);
  const Divergence d = divergence(*map, magnetic());
  ASSERT_TRUE(d.computed);
  EXPECT_GT(d.field_max, 0.5);
  EXPECT_LT(d.relative, 1e-13);
  EXPECT_TRUE(plane_checks(*map, magnetic()).empty());

  // Kept as a quarter, and half in z, with the codes the field has.
  const int quarter[3] = {2, 2, 1}, half_counts[3] = {5, 5, 6};
  convert(isym, quarter, half_counts, 0);
  const std::vector<PlaneCheck> planes = plane_checks(*map, magnetic());
  ASSERT_EQ(planes.size(), 3u);
  const char* const odd[3][2] = {{"Hy", "Hz"}, {"Hx", "Hz"}, {"Hz", ""}};
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(planes[a].first_node, 0.0);
    ASSERT_EQ(planes[a].odd.size(), a == 2 ? 1u : 2u);
    for (std::size_t c = 0; c < planes[a].odd.size(); ++c) {
      EXPECT_EQ(planes[a].odd[c].name, odd[a][c]);
      EXPECT_LT(planes[a].odd[c].relative, 1e-13) << odd[a][c];
    }
  }
  EXPECT_LT(divergence(*map, magnetic()).relative, 1e-13);
  EXPECT_FALSE(check_report(InspectedFile{"f", *map}, default_parity_tolerance).fault);
}

TEST_F(ConvertedQuadrupole, WrongSymmetryCodeShowsAsLargeDivergence) {
  // Code 1 on x and y mirrors Bx and By with the wrong signs: the field breaks at the planes.
  const int wrong[3] = {1, 1, 0}, full[3] = {0, 0, 0}, counts[3] = {9, 9, 11};
  convert(wrong, full, counts);
  EXPECT_GT(divergence(*map, magnetic()).relative, 0.1);
}

TEST_F(ConvertedQuadrupole, WrongOutputCodeShowsOnThePlane) {
  // The output declares code 1 at x = 0 (Bx odd), but Bx = G y does not vanish there.
  const int isym[3] = {2, 2, 0}, ksym[3] = {1, 2, 0}, counts[3] = {5, 5, 11};
  convert(isym, ksym, counts);
  const CheckReport report = check_report(InspectedFile{"f", *map}, default_parity_tolerance);
  EXPECT_TRUE(report.fault);
  EXPECT_NE(report.text.find("Hx: relative 0.707; max |Hx| = 0.4 at (1, 5, 1)"), std::string::npos)
      << report.text;
  const std::vector<PlaneCheck> planes = plane_checks(*map, magnetic());
  ASSERT_EQ(planes.size(), 2u);
  ASSERT_EQ(planes[0].odd.size(), 1u);
  EXPECT_EQ(planes[0].odd[0].name, "Hx");
  EXPECT_GT(planes[0].odd[0].relative, 0.5);
  EXPECT_EQ(planes[0].odd[0].at[0], 1);
  EXPECT_LT(planes[1].odd[0].relative, 1e-13);
}

TEST_F(ConvertedQuadrupole, OneFlippedSignShowsAsLargeDivergence) {
  const int isym[3] = {2, 2, 0}, full[3] = {0, 0, 0}, counts[3] = {9, 9, 11};
  convert(isym, full, counts);
  ASSERT_LT(divergence(*map, magnetic()).relative, 1e-13);
  map->HyOut(8, 7, 5) = -map->HyOut(8, 7, 5);
  const Divergence d = divergence(*map, magnetic());
  EXPECT_GT(d.relative, 0.1);
  EXPECT_EQ(d.at[1], 6);  // the y difference of the node next to the flipped one
}

// ---- on fields set node by node ----

class SyntheticField : public ::testing::Test {
 protected:
  void SetUp() override {
    s.sets = FieldSets::both;
    s.Nox = 5, s.Noy = 4, s.Noz = 6;
    for (int n = 1; n <= 5; ++n) s.xmws(n) = 0.1 * (n - 3);
    for (int n = 1; n <= 4; ++n) s.ymws(n) = 0.2 * (n - 1);
    for (int n = 1; n <= 6; ++n) s.zmws(n) = 0.5 * (n - 1);
  }
  // The electric set.
  FieldSet electric() const { return field_sets(s)[0]; }

  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& s = *map;
};

TEST_F(SyntheticField, DivergenceOfALinearField) {
  const Divergence zero = divergence(s, electric());
  EXPECT_EQ(zero.relative, 0.0);
  EXPECT_EQ(zero.at[0], 2);  // a node the report can show

  // E = (3x, 0, 0): div E = 3 everywhere; the largest |E| is 0.6 at x = 0.2; the smallest
  // step is 0.1, so the relative value is 3 * 0.1 / 0.6.
  for (int k = 1; k <= 6; ++k) {
    for (int j = 1; j <= 4; ++j) {
      for (int i = 1; i <= 5; ++i) s.ExOut(i, j, k) = 3.0 * s.xmws(i);
    }
  }
  const Divergence d = divergence(s, electric());
  EXPECT_NEAR(d.largest, 3.0, 1e-12);
  EXPECT_NEAR(d.field_max, 0.6, 1e-15);
  EXPECT_NEAR(d.step, 0.1, 1e-15);
  EXPECT_NEAR(d.relative, 0.5, 1e-12);

  s.Noy = 2;
  EXPECT_FALSE(divergence(s, electric()).computed);
}

TEST_F(SyntheticField, ComponentStatistics) {
  s.HzOut(2, 3, 4) = -7.0;
  s.HzOut(5, 1, 6) = 7.0;  // the same magnitude later (x fastest): the first keeps it
  s.HzOut(1, 1, 1) = 2.0;
  s.HzOut(3, 3, 3) = std::nan("");
  const ComponentStats st = component_stats(s, s.HzOut);
  EXPECT_EQ(st.min, -7.0);
  EXPECT_EQ(st.max, 7.0);
  EXPECT_EQ(st.largest, -7.0);
  EXPECT_EQ(st.at[0], 2);
  EXPECT_EQ(st.at[1], 3);
  EXPECT_EQ(st.at[2], 4);
  EXPECT_EQ(st.non_finite, 1);
  EXPECT_NEAR(st.rms, std::sqrt((49.0 + 49.0 + 4.0) / 119.0), 1e-15);
}

// A value that is not a number is a fault of the map, whatever the checks below make of
// it; --check ended "no fault found" with status 0.
TEST_F(SyntheticField, NonFiniteValuesAreAFaultNamedByCountAndFirstNode) {
  s.EzOut(2, 1, 3) = std::nan("");
  s.HxOut(4, 2, 1) = HUGE_VAL;
  s.EyOut(5, 1, 1) = -HUGE_VAL;
  const CheckReport report = check_report(InspectedFile{"f", s}, default_parity_tolerance);
  EXPECT_TRUE(report.fault);
  EXPECT_NE(report.text.find("  3 values are NaN or infinite (FAULT), the first Ey at node "
                             "(5, 1, 1), (0.2, 0, 0) m\n"),
            std::string::npos)
      << report.text;
  EXPECT_NE(report.text.find("verdict: FAULT"), std::string::npos);
}

TEST_F(SyntheticField, PlaneNotAtTheFirstNodeIsReported) {
  s.ksym_x = 1;
  s.ExOut(1, 2, 3) = -0.25;
  const std::vector<PlaneCheck> planes = plane_checks(s, electric());
  ASSERT_EQ(planes.size(), 1u);
  EXPECT_NEAR(planes[0].first_node, -0.2, 1e-15);
  EXPECT_EQ(planes[0].odd[0].largest, 0.25);
  EXPECT_EQ(planes[0].odd[0].relative, 1.0);
}

}  // namespace
}  // namespace korvane::inspect
