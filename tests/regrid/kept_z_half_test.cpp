// A z half that the output keeps (isym_z = ksym_z = 2): whole runs read back, on the direct
// path and interpolated, against the table's own field.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "fieldfile/field_reader.h"
#include "support/test_support.h"

namespace korvane {
namespace {

using testing::ScratchDir;

// Code 2 at z = 0: the tangential Ex, Ey odd in z (zero on the plane), the normal Ez even.
// Quadratic, so the second-order interpolation reproduces it up to rounding.
double half_field(double x, double y, double z, int c) {
  return c == 0 ? z * (1.0 + x) : c == 1 ? z * (2.0 - y) : 1.0 + x * y + z * z + 0.5 * x;
}

struct KeptRun {
  std::unique_ptr<FieldMap> map;
  std::string log;
};

// Converts the half z in [0, 2] of x, y in [-1, 1] (3 x 3 x 5 nodes, z fastest) onto
// nox x noy x noz output nodes over the same region, electric, fscale 3.5, format 0.
KeptRun convert(int nox, int noy, int noz) {
  ScratchDir dir;
  testing::Control control;
  control.isym[2] = 2, control.ksym[2] = 2;
  control.fscale = "3.5";
  control.ifmt = 0;  // unformatted: the values come back bit for bit
  control.d_elm = "4.0";
  control.counts[0] = nox, control.counts[1] = noy, control.counts[2] = noz;
  testing::write_file(dir / "korvane.dat", control.text());
  const double lo[3] = {-1.0, -1.0, 0.0}, step[3] = {1.0, 1.0, 0.5};
  testing::write_file(dir / "table.txt",
                      testing::make_table(3, 3, 5, lo, step, 321, 9, half_field));
  const testing::ProcessResult result = testing::run_korvane(dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  KeptRun run;
  run.log = testing::read_file(dir / "korvane.log");
  run.map = read_field_file((dir / "eh_EMS.#07").string(), TripleSet::electric);
  return run;
}

TEST(KeptZHalf, DirectPathCopiesTheScaledTableFromZeroUp) {
  const KeptRun run = convert(3, 3, 5);
  const FieldMap& s = *run.map;
  EXPECT_NE(run.log.find("Same symmetry and grid"), std::string::npos);
  EXPECT_EQ(run.log.find("Centered Z"), std::string::npos);
  const OutputField* e[3] = {&s.ExOut, &s.EyOut, &s.EzOut};
  for (int k = 1; k <= 5; ++k) {
    for (int j = 1; j <= 3; ++j) {
      for (int i = 1; i <= 3; ++i) {
        for (int c = 0; c < 3; ++c) {
          const double table = half_field(i - 2.0, j - 2.0, 0.5 * (k - 1), c);
          ASSERT_EQ((*e[c])(i, j, k), (3.5 * table) * 0.01) << i << j << k << c;
        }
      }
    }
  }
  EXPECT_EQ(s.zmws(1), 0.0);
  EXPECT_EQ(s.zmws(5), 2.0);
}

TEST(KeptZHalf, InterpolatedOntoOtherNodesReproducesTheQuadraticField) {
  const KeptRun run = convert(5, 4, 9);
  const FieldMap& s = *run.map;
  EXPECT_EQ(run.log.find("Same symmetry and grid"), std::string::npos);
  EXPECT_EQ(run.log.find("Centered Z"), std::string::npos);
  const OutputField* e[3] = {&s.ExOut, &s.EyOut, &s.EzOut};
  for (int k = 1; k <= 9; ++k) {
    for (int j = 1; j <= 4; ++j) {
      for (int i = 1; i <= 5; ++i) {
        for (int c = 0; c < 3; ++c) {
          const double expected = 0.035 * half_field(s.xmws(i), s.ymws(j), s.zmws(k), c);
          ASSERT_NEAR((*e[c])(i, j, k), expected, 1e-14) << i << j << k << c;
        }
        // The tangential components vanish on the kept plane.
        if (k == 1) {
          EXPECT_LE(std::abs(s.ExOut(i, j, 1)) + std::abs(s.EyOut(i, j, 1)), 1e-15);
        }
      }
    }
  }
}

}  // namespace
}  // namespace korvane
