#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

#include "regrid/regrid.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"
#include "textio/list_writer.h"

namespace korvane {
namespace {

class GridFixture : public ::testing::Test {
 protected:
  StorePtr store = make_store();
  StringSink sink;
  ListWriter log{sink};
};

TEST_F(GridFixture, OutputGridFromApertureElementLengthAndSymmetry) {
  FieldStore& s = *store;
  s.Ximin = -1, s.Ximax = 1, s.Nix = 3;
  s.Yimin = -2, s.Yimax = 2, s.Niy = 5;
  s.Zimin = -0.5, s.Zimax = 0.5, s.Niz = 3;
  s.aper = 2, s.d_elm = 10;
  s.Nox = 5, s.Noy = 5, s.Noz = 11;
  s.ksym_x = 1;
  setup_output_grid(s, log);
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(s.xmws(n), 0.5 * (n - 1)) << n;
    EXPECT_EQ(s.ymws(n), -2.0 + (n - 1)) << n;
  }
  for (int n = 1; n <= 11; ++n) EXPECT_EQ(s.zmws(n), -5.0 + (n - 1)) << n;
  EXPECT_EQ(s.Xi(1), -1.0);
  EXPECT_EQ(s.Xi(3), 1.0);
  EXPECT_EQ(s.Yi(4), 1.0);
  EXPECT_EQ(s.Zi(2), 0.0);

  StringSink expected;
  ListWriter blocks(expected);
  blocks.record(" Full input grid ");
  blocks.record(" Ximin, Ximax, Nix = ", -1.0, 1.0, 3);
  blocks.record(" Yimin, Yimax, Niy = ", -2.0, 2.0, 5);
  blocks.record(" Zimin, Zimax, Niz = ", -0.5, 0.5, 3);
  blocks.record(" ------------------------------ ");
  blocks.record(" Output grid parameters ");
  blocks.record(" Xmin, Xmax, Nox = ", 0.0, 2.0, 5);
  blocks.record(" Ymin, Ymax, Noy = ", -2.0, 2.0, 5);
  blocks.record(" Zmin, Zmax, Noz = ", -5.0, 5.0, 11);
  blocks.record(" ------------------------------ ");
  EXPECT_EQ(sink.text, expected.text);

  s.ksym_z = 2;
  setup_output_grid(s, log);
  EXPECT_EQ(s.Zmin, 0.0);
  EXPECT_EQ(s.Zmax, 5.0);
  for (int n = 1; n <= 11; ++n) EXPECT_EQ(s.zmws(n), 0.5 * (n - 1)) << n;
}

TEST_F(GridFixture, NodeCoordinatesAreStepTimesIndexPlusLowerBound) {
  FieldStore& s = *store;
  s.Ximin = 0.1, s.Ximax = 0.7, s.Nix = 4;
  s.Yimin = s.Zimin = -1, s.Yimax = s.Zimax = 1, s.Niy = s.Niz = 3;
  s.aper = 0.37, s.d_elm = 0.9;
  s.Nox = 7, s.Noy = 3, s.Noz = 3;
  setup_output_grid(s, log);
  const double dx = (0.7 - 0.1) / 3.0, ox = (0.37 - -0.37) / 6.0;
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(s.Xi(n), (n - 1) * dx + 0.1) << n;
  for (int n = 1; n <= 7; ++n) EXPECT_EQ(s.xmws(n), (n - 1) * ox + -0.37) << n;
}

// The same-grid test: the output grid here is x 0..1 (3 nodes), y -1..1 (4), z -1..1 (5),
// and the full input grid is made equal to it, then changed by one row's change.
struct SameGridCase {
  const char* name;
  void (*change)(FieldStore&);
  bool direct;
};

void PrintTo(const SameGridCase& c, std::ostream* out) { *out << c.name; }

class SameGrid : public GridFixture, public ::testing::WithParamInterface<SameGridCase> {};

InputField* full_arrays(FieldStore& s, int a) {
  InputField* arrays[6] = {&s.ExFull, &s.EyFull, &s.EzFull, &s.HxFull, &s.HyFull, &s.HzFull};
  return arrays[a];
}
OutputField* out_arrays(FieldStore& s, int a) {
  OutputField* arrays[6] = {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut};
  return arrays[a];
}

TEST_P(SameGrid, CopiesOnlyWhenBoundsCountsAndSymmetryAgree) {
  FieldStore& s = *store;
  s.aper = 1, s.d_elm = 2, s.ksym_x = 1;
  s.Nox = 3, s.Noy = 4, s.Noz = 5;
  s.Ximin = 0, s.Ximax = 1, s.Nix = 3;
  s.Yimin = -1, s.Yimax = 1, s.Niy = 4;
  s.Zimin = -1, s.Zimax = 1, s.Niz = 5;
  for (int a = 0; a < 6; ++a) {
    for (int k = 1; k <= 6; ++k) {
      for (int j = 1; j <= 5; ++j) {
        for (int i = 1; i <= 4; ++i) {
          (*full_arrays(s, a))(i, j, k) = a * 1000 + i * 100 + j * 10 + k;
        }
      }
    }
  }
  GetParam().change(s);
  setup_output_grid(s, log);
  sink.text.clear();
  EXPECT_EQ(same_grid(s), GetParam().direct);
  try {
    transfer_field(s, log);
  } catch (const FatalStop&) {
    ASSERT_FALSE(GetParam().direct);
  }
  StringSink expected;
  ListWriter record(expected);
  if (GetParam().direct) {
    record.record(" Same symmetry and grid, No need for interpolation",
                  ", Simply write the field ...");
  } else {
    record.record(" Symmetry or grid are different, Interpolate ...");
  }
  EXPECT_EQ(sink.text, expected.text);
  if (!GetParam().direct) return;
  for (int a = 0; a < 6; ++a) {
    for (int k = 1; k <= 5; ++k) {
      for (int j = 1; j <= 4; ++j) {
        for (int i = 1; i <= 3; ++i) {
          ASSERT_EQ((*out_arrays(s, a))(i, j, k), (*full_arrays(s, a))(i, j, k)) << a;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Grids, SameGrid,
    ::testing::Values(
        SameGridCase{"Identical", [](FieldStore&) {}, true},
        SameGridCase{"EveryBoundOffBy5em7",
                     [](FieldStore& s) {
                       s.Ximin += 5e-7, s.Ximax += 5e-7, s.Yimin -= 5e-7;
                       s.Yimax -= 5e-7, s.Zimin += 5e-7, s.Zimax -= 5e-7;
                     },
                     true},
        SameGridCase{"UpperXOffBy2em6", [](FieldStore& s) { s.Ximax += 2e-6; }, false},
        SameGridCase{"LowerZOffBy2em6", [](FieldStore& s) { s.Zimin -= 2e-6; }, false},
        SameGridCase{"LowerXOffByExactly1em6", [](FieldStore& s) { s.Ximin = 1e-6; }, false},
        SameGridCase{"BoundNotANumber",
                     [](FieldStore& s) { s.Yimax = std::numeric_limits<double>::quiet_NaN(); },
                     false},
        SameGridCase{"SymmetryUnfolded", [](FieldStore& s) { s.symcode = 1; }, false},
        SameGridCase{"OneXNodeMore", [](FieldStore& s) { s.Nix = 4; }, false},
        SameGridCase{"OneZNodeMore", [](FieldStore& s) { s.Niz = 6; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

class InterpolationGridCheck : public GridFixture {
 protected:
  std::string stop_after_notice() {
    FieldStore& s = *store;
    s.aper = 1, s.d_elm = 2;
    s.Nox = 3, s.Noy = 3, s.Noz = 4;
    setup_output_grid(s, log);
    sink.text.clear();
    try {
      transfer_field(s, log);
    } catch (const FatalStop& stop) {
      EXPECT_EQ(sink.text, "  Symmetry or grid are different, Interpolate ...\r\n");
      return stop.what();
    }
    ADD_FAILURE() << "no stop";
    return "";
  }
};

TEST_F(InterpolationGridCheck, FewerThanThreeNodesStopsFirst) {
  FieldStore& s = *store;
  s.Ximin = -1, s.Ximax = 1, s.Nix = 3;
  s.Yimin = -1, s.Yimax = 1, s.Niy = 3;
  s.Zimin = 0, s.Zimax = 0, s.Niz = 2;  // two nodes, and a zero step as well
  EXPECT_EQ(stop_after_notice(),
            " Input grid needs at least 3 nodes along each axis to interpolate ");
}

TEST_F(InterpolationGridCheck, CollapsedAxisStops) {
  FieldStore& s = *store;
  s.Ximin = -0.0, s.Ximax = 0.0, s.Nix = 5;  // an unfolded axis whose upper bound was 0
  s.Yimin = -1, s.Yimax = 1, s.Niy = 3;
  s.Zimin = -1, s.Zimax = 1, s.Niz = 3;
  EXPECT_EQ(stop_after_notice(), " Input grid coordinates must increase along each axis ");
}

TEST_F(InterpolationGridCheck, DecreasingAxisStops) {
  FieldStore& s = *store;
  s.Ximin = -1, s.Ximax = 1, s.Nix = 3;
  s.Yimin = -1, s.Yimax = 1, s.Niy = 3;
  s.Zimin = 1, s.Zimax = -1, s.Niz = 3;
  EXPECT_EQ(stop_after_notice(), " Input grid coordinates must increase along each axis ");
}

}  // namespace
}  // namespace korvane
