// --compare on files of one field in several formats, and --axis against the analytic
// fields of the shipped examples.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "driver/conversion.h"
#include "fieldfile/field_file.h"
#include "fieldfile/field_reader.h"
#include "inspect/analysis/axis.h"
#include "inspect/cli/cli.h"
#include "support/test_support.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

namespace fs = std::filesystem;
using korvane::testing::CollectedWarnings;
using korvane::testing::ScratchDir;
using korvane::testing::WorkingDir;

// A magnetic field on 4 x 3 x 5 nodes with values that need all 17 digits.
void fill(FieldStore& s) {
  s.ifield = 1, s.iend = -99, s.d_elm = 0.2, s.aper = 0.01;
  s.Nox = 4, s.Noy = 3, s.Noz = 5;
  s.Xmin = s.Ymin = -0.01, s.Xmax = s.Ymax = 0.01, s.Zmin = -0.1, s.Zmax = 0.1;
  for (int n = 1; n <= 4; ++n) s.xmws(n) = -0.01 + 0.02 * (n - 1) / 3.0;
  for (int n = 1; n <= 3; ++n) s.ymws(n) = 0.01 * (n - 2);
  for (int n = 1; n <= 5; ++n) s.zmws(n) = 0.05 * (n - 3);
  for (int k = 1; k <= 5; ++k) {
    for (int j = 1; j <= 3; ++j) {
      for (int i = 1; i <= 4; ++i) {
        s.HxOut(i, j, k) = 1000.0 / (i + 3 * j + 7 * k);
        s.HyOut(i, j, k) = std::sqrt(2.0 * i + j) - k;
        s.HzOut(i, j, k) = std::exp(-0.3 * i * j) / 3.0;
      }
    }
  }
}

class Compare : public ::testing::Test {
 protected:
  std::string write(const FieldStore& s, int format, const std::string& name) {
    StringSink sink;
    if (format == 0) write_format0(s, sink);
    if (format == 1) write_format1(s, sink);
    if (format == 2) write_format2(s, sink);
    korvane::testing::write_file(dir / name, sink.text);
    return (dir / name).string();
  }
  int run(std::vector<std::string> args) {
    out.clear(), err.clear();
    return run_inspect(args, out, err);
  }
  ScratchDir dir;
  StorePtr store = make_store();
  std::string out, err;
};

TEST_F(Compare, SameFieldInEachFormat) {
  fill(*store);
  const std::string f0 = write(*store, 0, "f0"), f1 = write(*store, 1, "f1"),
                    f2 = write(*store, 2, "f2");
  EXPECT_EQ(run({f0, "--compare", f0}), 0) << out << err;
  EXPECT_NE(out.find("verdict: identical values"), std::string::npos) << out;
  // Text keeps 15 or 16 digits: equal within 1e-14, not to the last bit.
  for (const std::string& other : {f1, f2}) {
    EXPECT_EQ(run({f0, "--compare", other, "--tolerance", "1e-14"}), 0) << out;
    EXPECT_EQ(run({f0, "--compare", other}), 1) << out;
  }
  EXPECT_NE(out.find("the triple of unknown kind in one file is taken as the H"),
            std::string::npos);
}

TEST_F(Compare, OneChangedNodeIsFoundWhereItIs) {
  fill(*store);
  const std::string before = write(*store, 1, "before");
  store->HyOut(3, 2, 4) += 0.5;
  const std::string after = write(*store, 1, "after");
  EXPECT_EQ(run({before, "--compare", after, "--tolerance", "1e-3"}), 1);
  EXPECT_NE(out.find("  Fy        0.5 "), std::string::npos) << out;
  EXPECT_NE(out.find("(3, 2, 4), (0.003333333, 0, 0.05)"), std::string::npos) << out;
  EXPECT_NE(out.find("  Fx        0                      0          identical"), std::string::npos)
      << out;
}

// The verdict says what differs; it gave "largest relative difference 0" when only the sets
// did.
TEST_F(Compare, VerdictNamesTheSetsWhenTheyDiffer) {
  fill(*store);
  const std::string h = write(*store, 2, "h");
  store->ifield = 2;  // E (zero) and the same H
  const std::string both = write(*store, 2, "both");
  EXPECT_EQ(run({both, "--compare", h}), 1);
  EXPECT_NE(out.find("  verdict: DIFFERENT (the field sets: E and H against H)\n"),
            std::string::npos)
      << out;
  store->HzOut(1, 1, 1) = 2.0;
  const std::string changed = write(*store, 2, "changed");
  EXPECT_EQ(run({changed, "--compare", h}), 1);
  EXPECT_NE(out.find("  verdict: DIFFERENT (the field sets: E and H against H; largest relative "
                     "difference 0.0"),
            std::string::npos)
      << out;
}

TEST_F(Compare, OtherGridsAndUnreadableFiles) {
  fill(*store);
  const std::string mine = write(*store, 1, "mine");
  store->Noz = 4;
  const std::string shorter = write(*store, 1, "shorter");
  EXPECT_EQ(run({mine, "--compare", shorter}), 1);
  EXPECT_NE(out.find("the grids differ along z: 5 nodes, -0.1 .. 0.1 m against 4 nodes, -0.1 .. "
                     "0.05 m"),
            std::string::npos)
      << out;
  EXPECT_EQ(run({mine, "--compare", (dir / "missing").string()}), 2);
  EXPECT_NE(err.find("cannot open"), std::string::npos);
  EXPECT_EQ(run({mine, "--tolerance", "1e-3"}), 2);                    // applies to --compare only
  EXPECT_EQ(run({mine, "--compare", shorter, "--axis", shorter}), 2);  // would overwrite it
}

// ---- the on-axis profile ----

// Converts a shipped example in a scratch folder and reads its field file back.
std::unique_ptr<FieldMap> convert_example(const std::string& name, const ScratchDir& dir,
                                          TripleSet triple) {
  const fs::path source = fs::path(KORVANE_SOURCE_DIR) / "examples" / name;
  for (const auto& entry : fs::directory_iterator(source)) {
    fs::copy_file(entry.path(), dir / entry.path().filename().string());
  }
  {
    WorkingDir here(dir.path());
    StorePtr converter = make_store();
    CollectedWarnings warnings;
    EXPECT_EQ(run_conversion(*converter, warnings).status, 0);
  }
  // Both control files are korvane-prepare's drafts, with its default output file.
  return read_field_file((dir / "eh_EMS.#01").string(), triple);
}

TEST(Axis, QuadrupoleIntegratedGradientAndMagneticLength) {
  ScratchDir dir;
  const std::unique_ptr<FieldMap> map = convert_example("quadrupole", dir, TripleSet::magnetic);
  const UnfoldedMap u(*map);
  const std::vector<AxisProfile> p = axis_profiles(u, reach_axis(u, 0), reach_axis(u, 1));
  ASSERT_EQ(p.size(), 1u);

  // The generator's field: H = 1e4 G (y, x, .) f(z) in gauss, f a tanh step of length L
  // and softness a; the integral of f has the closed form a/2 [ln cosh((z + L/2)/a) -
  // ln cosh((z - L/2)/a)].
  constexpr double G = 20.0 * 1e4, L = 0.06, a = 0.008;
  auto f = [&](double z) { return (std::tanh((z + L / 2) / a) - std::tanh((z - L / 2) / a)) / 2; };
  auto F = [&](double z) {
    return a / 2 * (std::log(std::cosh((z + L / 2) / a)) - std::log(std::cosh((z - L / 2) / a)));
  };
  const double z0 = map->zmws(1), z1 = map->zmws(map->Noz);
  const double integral = G * (F(z1) - F(z0)), peak = G * f(0.0);
  const std::size_t centre = static_cast<std::size_t>(map->Noz - 1) / 2;  // z = 0
  // The trapezoidal rule's error, h^2/12 (f'(z1) - f'(z0)) G, is 1.9e-5 of the integral
  // over 2 mm steps; the x and y differences and the interpolation are exact here.
  for (const std::vector<double>* d : {&p[0].dfy_dx, &p[0].dfx_dy}) {
    const double found = trapezoid(u, *d);
    EXPECT_NEAR(found / integral, 1.0, 5e-5);
    EXPECT_NEAR((*d)[centre] / peak, 1.0, 1e-10);  // the table holds 12 digits
    EXPECT_NEAR((found / (*d)[centre]) / (integral / peak), 1.0, 5e-5);
  }
  EXPECT_NEAR(trapezoid(u, p[0].f[2]), 0.0, 1e-9);
}

TEST(Axis, RfGapVoltage) {
  ScratchDir dir;
  const std::unique_ptr<FieldMap> map = convert_example("rf_gap", dir, TripleSet::electric);
  const InspectedFile file{"eh_EMS.#01", *map};
  const UnfoldedMap u(*map);
  const std::vector<AxisProfile> p = axis_profiles(u, reach_axis(u, 0), reach_axis(u, 1));
  ASSERT_EQ(p.size(), 1u);
  // Ez = E0 exp(-z^2 / 2 s^2) with E0 = 2 MV/m, stored in V/cm (the electric factor 0.01).
  constexpr double E0 = 2e6 * 0.01, s = 0.01;
  // Over the map's z range as PELIX reads it: a kept plane z = 0 is unfolded, and the
  // profile covers the whole gap.
  const double z0 = u.node(2, 1), z1 = u.node(2, u.count(2)), w = s * std::sqrt(2.0);
  const double voltage = E0 * s * std::sqrt(M_PI / 2.0) * (std::erf(z1 / w) - std::erf(z0 / w));
  // The output nodes are the table's own, 1 mm apart; the trapezoidal rule leaves 1.2e-8
  // of the voltage.
  EXPECT_NEAR(trapezoid(u, p[0].f[2]) / voltage, 1.0, 1e-7);
  // The report gives the voltage in V, not the integral in V/cm x m alone.
  const std::string report = axis_report(file, u, reach_axis(u, 0), reach_axis(u, 1), p);
  EXPECT_NE(report.find("an on-axis voltage of " +
                        general_number(100.0 * trapezoid(u, p[0].f[2]), 7) + " V"),
            std::string::npos)
      << report;
}

struct Layout {
  const char* name;
  int count;        // nodes along x and y
  bool kept;        // ksym_x = ksym_y = 2 with the grid starting at 0
  int value_nodes;  // terms of the value on the axis along x
};

void PrintTo(const Layout& layout, std::ostream* os) { *os << layout.name; }

class AxisLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(AxisLayout, GradientOfALinearQuadrupole) {
  // H = G (y, x, 0) + a uniform Hz: every layout must give G exactly.
  const Layout layout = GetParam();
  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& s = *map;
  s.format = 1, s.sets = FieldSets::magnetic, s.components = 3, s.records = 9;
  s.has_lengths = true;
  s.Nox = s.Noy = layout.count, s.Noz = 3;
  const double lo = layout.kept ? 0.0 : -0.01;
  for (int n = 1; n <= layout.count; ++n) {
    s.xmws(n) = s.ymws(n) = lo + (0.01 - lo) * (n - 1) / (layout.count - 1);
  }
  for (int n = 1; n <= 3; ++n) s.zmws(n) = 0.1 * (n - 2);
  if (layout.kept) s.ksym_x = s.ksym_y = 2;
  constexpr double G = 3.5;
  for (int k = 1; k <= 3; ++k) {
    for (int j = 1; j <= layout.count; ++j) {
      for (int i = 1; i <= layout.count; ++i) {
        s.HxOut(i, j, k) = G * s.ymws(j);
        s.HyOut(i, j, k) = G * s.xmws(i);
        s.HzOut(i, j, k) = 2.0;
      }
    }
  }
  const UnfoldedMap u(s);
  const AxisReach x = reach_axis(u, 0), y = reach_axis(u, 1);
  EXPECT_EQ(x.value.size(), static_cast<std::size_t>(layout.value_nodes)) << x.how;
  const std::vector<AxisProfile> p = axis_profiles(u, x, y);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(p[0].dfy_dx[k], G, 1e-12);
    EXPECT_NEAR(p[0].dfx_dy[k], G, 1e-12);
    EXPECT_NEAR(p[0].f[0][k], 0.0, 1e-15);
    EXPECT_EQ(p[0].f[2][k], 2.0);
  }
  EXPECT_NEAR(trapezoid(u, p[0].f[2]), 0.4, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Layouts, AxisLayout,
                         ::testing::Values(Layout{"NodeOnTheAxis", 5, false, 1},
                                           Layout{"AxisBetweenNodes", 4, false, 2},
                                           Layout{"KeptPlanesAtNode1", 4, true, 1}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return std::string(info.param.name);
                         });

TEST(Axis, OutsideTheGridOrNodesThatDoNotSpreadAreRefused) {
  std::unique_ptr<FieldMap> map = make_field_map();
  map->Nox = 3;
  for (int n = 1; n <= 3; ++n) map->xmws(n) = 0.01 * n;
  EXPECT_THROW(reach_axis(UnfoldedMap(*map), 0), std::runtime_error);
  map->ksym_y = 2, map->Noy = 3;  // kept plane, every node at 0
  EXPECT_THROW(reach_axis(UnfoldedMap(*map), 1), std::runtime_error);
}

}  // namespace
}  // namespace korvane::inspect
