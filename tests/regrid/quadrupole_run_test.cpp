#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace korvane {
namespace {

using testing::ScratchDir;

// A quadrupole magnet's field with a gradient that changes along z and a small sextupole-
// like z component, in centred coordinates: Bx = G y + g y z, By = G x + g x z, Bz = c x y.
// At x = 0 the y and z components are odd (code 2), at y = 0 the x and z components are.
constexpr double G = 2.0, g = 0.5, c = 3.0;

double field(double x, double y, double z, int component) {
  return component == 0 ? G * y + g * y * z : component == 1 ? G * x + g * x * z : c * x * y;
}

// The table holds z from 1 to 3; the converter shifts it to start at 0 and then centres it.
double exported_field(double x, double y, double z, int component) {
  return field(x, y, z - 2.0, component);
}

std::vector<double> numbers_of(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> values;
  std::string token;
  while (in >> token) values.push_back(std::strtod(token.c_str(), nullptr));
  return values;
}

TEST(QuadrupoleRun, QuarterExportUnfoldsAndInterpolatesToTheFullField) {
  ScratchDir dir;
  testing::Control control;
  control.ifield = 1;
  control.isym[0] = 2, control.isym[1] = 2;
  control.ifmt = 1;
  control.nfile = 7;
  control.aper = "1.0";
  control.d_elm = "2.0";
  control.counts[0] = 9, control.counts[1] = 5, control.counts[2] = 17;
  testing::write_file(dir / "korvane.dat", control.text());
  // The quarter x >= 0, y >= 0: 6 x 5 x 9 nodes, z fastest, 9 columns a record.
  const double lo[3] = {0.0, 0.0, 1.0}, step[3] = {0.2, 0.25, 0.25};
  testing::write_file(dir / "table.txt",
                      testing::make_table(6, 5, 9, lo, step, 321, 9, exported_field));

  const testing::ProcessResult result = testing::run_korvane(dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(testing::read_file(dir / "korvane.log")
                .find(" Symmetry or grid are different, Interpolate ..."),
            std::string::npos);

  const std::vector<double> v = numbers_of(testing::read_file(dir / "eh_EMS.#07"));
  const int nx = 9, ny = 5, nz = 17, nodes = nx * ny * nz;
  ASSERT_EQ(v.size(), 6u + nx + ny + nz + 3u * nodes + 1u);
  EXPECT_EQ(v[0], 2.0);  // d_elm, aper, k_s_EH, then the output symmetry codes
  EXPECT_EQ(v[1], 1.0);
  EXPECT_EQ(v[2], 0.0);
  EXPECT_EQ(v[5], 0.0);
  const double* xs = v.data() + 6;
  const double* ys = xs + nx;
  const double* zs = ys + ny;
  for (int i = 0; i < nx; ++i) EXPECT_NEAR(xs[i], -1.0 + 0.25 * i, 1e-15);
  for (int j = 0; j < ny; ++j) EXPECT_NEAR(ys[j], -1.0 + 0.5 * j, 1e-15);
  for (int k = 0; k < nz; ++k) EXPECT_NEAR(zs[k], -1.0 + 0.125 * k, 1e-15);
  const double* components = zs + nz;
  for (int comp = 0; comp < 3; ++comp) {
    for (int k = 0; k < nz; ++k) {
      for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
          const double value = components[comp * nodes + i + nx * (j + ny * k)];
          ASSERT_NEAR(value, field(xs[i], ys[j], zs[k], comp), 1e-12)
              << "component " << comp << " at x " << xs[i] << " y " << ys[j] << " z " << zs[k];
        }
      }
    }
  }
  EXPECT_EQ(v.back(), -99.0);
}

}  // namespace
}  // namespace korvane
