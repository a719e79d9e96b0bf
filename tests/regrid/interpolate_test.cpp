#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "regrid/regrid.h"

namespace korvane {
namespace {

InputField* full_array(FieldStore& s, int a) {
  InputField* arrays[6] = {&s.ExFull, &s.EyFull, &s.EzFull, &s.HxFull, &s.HyFull, &s.HzFull};
  return arrays[a];
}

// The 19-point formula written out plainly, term by term in the documented order, for
// comparison with the converter's routine.
void reference_interp(FieldStore& s, double xo, double yo, double zo, double out[6]) {
  for (int a = 0; a < 6; ++a) out[a] = 0.0;
  if (xo < s.Xi(1) || xo > s.Xi(s.Nix)) return;
  if (yo < s.Yi(1) || yo > s.Yi(s.Niy)) return;
  if (zo < s.Zi(1) || zo > s.Zi(s.Niz)) return;
  const double hx = s.Xi(2) - s.Xi(1), hy = s.Yi(2) - s.Yi(1), hz = s.Zi(2) - s.Zi(1);
  int ic = static_cast<int>((xo - s.Xi(1) - hx / 2) / hx) + 2;
  int jc = static_cast<int>((yo - s.Yi(1) - hy / 2) / hy) + 2;
  int kc = static_cast<int>((zo - s.Zi(1) - hz / 2) / hz) + 2;
  if (ic < 2) ic = 2;
  if (ic >= s.Nix) ic = s.Nix - 1;
  if (jc < 2) jc = 2;
  if (jc >= s.Niy) jc = s.Niy - 1;
  if (kc < 2) kc = 2;
  if (kc >= s.Niz) kc = s.Niz - 1;
  const int im = ic - 1, ip = ic + 1, jm = jc - 1, jp = jc + 1, km = kc - 1, kp = kc + 1;
  const double p = (xo - s.Xi(ic)) / hx, q = (yo - s.Yi(jc)) / hy, r = (zo - s.Zi(kc)) / hz;
  const double w0 = 1 - p * p - q * q - r * r;
  const double wxp = (p + p * p) / 2, wxm = (p * p - p) / 2;
  const double wyp = (q + q * q) / 2, wym = (q * q - q) / 2;
  const double wzp = (r + r * r) / 2, wzm = (r * r - r) / 2;
  const double wxy = p * q / 4, wxz = p * r / 4, wyz = q * r / 4;
  for (int a = 0; a < 6; ++a) {
    const InputField& F = *full_array(s, a);
    out[a] = w0 * F(ic, jc, kc) + wxp * F(ip, jc, kc) + wxm * F(im, jc, kc) +
             wyp * F(ic, jp, kc) + wym * F(ic, jm, kc) + wzp * F(ic, jc, kp) +
             wzm * F(ic, jc, km) +
             wxy * (F(ip, jp, kc) + F(im, jm, kc) - F(im, jp, kc) - F(ip, jm, kc)) +
             wxz * (F(ip, jc, kp) + F(im, jc, km) - F(im, jc, kp) - F(ip, jc, km)) +
             wyz * (F(ic, jp, kp) + F(ic, jm, km) - F(ic, jm, kp) - F(ic, jp, km));
  }
}

class InterpFixture : public ::testing::Test {
 protected:
  void grid(double x0, double hx, int nx, double y0, double hy, int ny, double z0, double hz,
            int nz) {
    FieldStore& s = *store;
    s.Nix = nx, s.Niy = ny, s.Niz = nz;
    for (int n = 1; n <= nx; ++n) s.Xi(n) = (n - 1) * hx + x0;
    for (int n = 1; n <= ny; ++n) s.Yi(n) = (n - 1) * hy + y0;
    for (int n = 1; n <= nz; ++n) s.Zi(n) = (n - 1) * hz + z0;
  }
  // The usual grid: x -1..1 step 0.5, y -0.5..2 step 0.5, z -3..3 step 1.
  void usual_grid() { grid(-1, 0.5, 5, -0.5, 0.5, 6, -3, 1, 7); }
  template <class F>
  void fill(int a, F f) {
    FieldStore& s = *store;
    for (int k = 1; k <= s.Niz; ++k) {
      for (int j = 1; j <= s.Niy; ++j) {
        for (int i = 1; i <= s.Nix; ++i) {
          (*full_array(s, a))(i, j, k) = f(s.Xi(i), s.Yi(j), s.Zi(k));
        }
      }
    }
  }
  void random_field(unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    for (int a = 0; a < 6; ++a) fill(a, [&](double, double, double) { return value(random); });
  }
  void at(double x, double y, double z, double out[6]) {
    interp3d(*store, x, y, z, out, out + 3);
  }
  // Points inside the grid: random ones, every node, the midpoints between nodes (ties)
  // and the points a quarter step from the ends.
  std::vector<std::array<double, 3>> inside_points() {
    FieldStore& s = *store;
    std::vector<std::array<double, 3>> points;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int n = 0; n < 300; ++n) {
      points.push_back({s.Xi(1) + u(random) * (s.Xi(s.Nix) - s.Xi(1)),
                        s.Yi(1) + u(random) * (s.Yi(s.Niy) - s.Yi(1)),
                        s.Zi(1) + u(random) * (s.Zi(s.Niz) - s.Zi(1))});
    }
    for (int i = 1; i <= s.Nix; ++i) {
      for (int j = 1; j < s.Niy; ++j) {
        for (int k = 1; k <= s.Niz; k += 2) {
          points.push_back({s.Xi(i), s.Yi(j), s.Zi(k)});
          points.push_back({s.Xi(i), (s.Yi(j) + s.Yi(j + 1)) / 2, s.Zi(k)});
        }
      }
    }
    const double hx = s.Xi(2) - s.Xi(1), hy = s.Yi(2) - s.Yi(1), hz = s.Zi(2) - s.Zi(1);
    points.push_back({s.Xi(1) + hx / 4, s.Yi(s.Niy) - hy / 4, s.Zi(1) + hz / 4});
    points.push_back({s.Xi(s.Nix) - hx / 4, s.Yi(1) + hy / 4, s.Zi(s.Niz) - hz / 4});
    return points;
  }

  StorePtr store = make_store();
};

struct Polynomial {
  const char* name;
  double (*f)(double x, double y, double z);
};

void PrintTo(const Polynomial& c, std::ostream* out) { *out << c.name; }

class QuadraticField : public InterpFixture, public ::testing::WithParamInterface<Polynomial> {};

TEST_P(QuadraticField, ReproducedInsideTheGrid) {
  usual_grid();
  const auto f = GetParam().f;
  for (int a = 0; a < 6; ++a) {
    fill(a, [&](double x, double y, double z) { return (a + 1) * f(x, y, z) - a; });
  }
  for (const auto& point : inside_points()) {
    double out[6];
    at(point[0], point[1], point[2], out);
    for (int a = 0; a < 6; ++a) {
      ASSERT_NEAR(out[a], (a + 1) * f(point[0], point[1], point[2]) - a, 1e-12)
          << "array " << a << " at " << point[0] << " " << point[1] << " " << point[2];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Terms, QuadraticField,
    ::testing::Values(Polynomial{"One", [](double, double, double) { return 1.0; }},
                      Polynomial{"X", [](double x, double, double) { return x; }},
                      Polynomial{"Y", [](double, double y, double) { return y; }},
                      Polynomial{"Z", [](double, double, double z) { return z; }},
                      Polynomial{"XX", [](double x, double, double) { return x * x; }},
                      Polynomial{"YY", [](double, double y, double) { return y * y; }},
                      Polynomial{"ZZ", [](double, double, double z) { return z * z; }},
                      Polynomial{"XY", [](double x, double y, double) { return x * y; }},
                      Polynomial{"XZ", [](double x, double, double z) { return x * z; }},
                      Polynomial{"YZ", [](double, double y, double z) { return y * z; }},
                      Polynomial{"Mixed",
                                 [](double x, double y, double z) {
                                   return 0.3 - 2 * x + y * z + 1.5 * x * x - z * z + x * y;
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

// Nearest node along one axis, the upper one at a tie, moved inward at the two ends.
int nearest_inner_node(double xo, double first, double step, int count) {
  int n = static_cast<int>(std::floor((xo - first) / step + 0.5)) + 1;
  return n < 2 ? 2 : n > count - 1 ? count - 1 : n;
}

TEST_F(InterpFixture, ProductOfAllThreeMissesTheCornerTerm) {
  usual_grid();
  fill(0, [](double x, double y, double z) { return x * y * z; });
  FieldStore& s = *store;
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> ux(-1, 1), uy(-0.5, 2), uz(-3, 3);
  for (int n = 0; n < 200; ++n) {
    const double x = ux(random), y = uy(random), z = uz(random);
    const int ic = nearest_inner_node(x, -1, 0.5, 5);
    const int jc = nearest_inner_node(y, -0.5, 0.5, 6);
    const int kc = nearest_inner_node(z, -3, 1, 7);
    const double p = (x - s.Xi(ic)) / 0.5, q = (y - s.Yi(jc)) / 0.5, r = (z - s.Zi(kc)) / 1;
    double out[6];
    at(x, y, z, out);
    ASSERT_NEAR(out[0], x * y * z - p * q * r * 0.5 * 0.5 * 1, 1e-12) << x << " " << y << " "
                                                                      << z;
  }
}

TEST_F(InterpFixture, CornerOfTwoAxesTakesAQuarterFromTheEdgeGroup) {
  usual_grid();
  store->HyFull(1, 1, 4) = 1.0;
  double out[6];
  at(store->Xi(1), store->Yi(1), store->Zi(4), out);
  EXPECT_EQ(out[4], 0.25);
  for (int a : {0, 1, 2, 3, 5}) EXPECT_EQ(out[a], 0.0) << a;
}

TEST_F(InterpFixture, InputNodeValueReturnedUnlessAtTheEndOfTwoAxes) {
  usual_grid();
  random_field(3);
  FieldStore& s = *store;
  for (int k = 1; k <= 7; ++k) {
    for (int j = 1; j <= 6; ++j) {
      for (int i = 1; i <= 5; ++i) {
        const int ends = (i == 1 || i == 5) + (j == 1 || j == 6) + (k == 1 || k == 7);
        if (ends > 1) continue;
        double out[6];
        at(s.Xi(i), s.Yi(j), s.Zi(k), out);
        for (int a = 0; a < 6; ++a) {
          ASSERT_EQ(out[a], (*full_array(s, a))(i, j, k)) << a << " at " << i << j << k;
        }
      }
    }
  }
}

TEST_F(InterpFixture, PointsOutsideTheGridOrNotANumberGiveZeros) {
  usual_grid();
  random_field(5);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // Just beyond the reach of an end node: 1e-9 of the step (0.5, 0.5, 1) and a little more.
  const double x = 0.5e-9 * 1.01, y = 0.5e-9 * 1.01, z = 1e-9 * 1.01;
  const double points[][3] = {
      {-1.0 - x, 0, 0}, {1.0 + x, 0, 0},
      {0, -0.5 - y, 0}, {0, 2.0 + y, 0},
      {0, 0, -3.0 - z}, {0, 0, 3.0 + z},
      {nan, 0, 0},                        {0, nan, 0},
      {0, 0, nan},                        {inf, 0, 0},
      {0, -inf, 0},
  };
  for (const auto& point : points) {
    double out[6] = {9, 9, 9, 9, 9, 9};
    at(point[0], point[1], point[2], out);
    for (int a = 0; a < 6; ++a) ASSERT_EQ(out[a], 0.0) << point[0] << point[1] << point[2];
  }
  double out[6];
  at(1.0, 2.0, 3.0, out);  // the bounds themselves are inside
  EXPECT_NE(out[0], 0.0);
}

// A quarter from 0 to 14 mm in 1 mm steps unfolds to 29 nodes; laid out again on 25, the
// last output node is 0.014000000000000004, a rounding step past the input's end node. It is
// on that node, and the face gets the field there, not zeros.
TEST_F(InterpFixture, OutputNodeARoundingStepPastTheEndNodeIsOnIt) {
  FieldStore& s = *store;
  s.Nix = s.Niy = 29, s.Niz = 3;
  lay_out_axis(s.Xi, -0.014, 0.014, 29);
  lay_out_axis(s.Yi, -0.014, 0.014, 29);
  lay_out_axis(s.Zi, -0.001, 0.001, 3);
  for (int a = 0; a < 6; ++a) fill(a, [a](double x, double y, double) { return a + 1 + x - y; });
  s.Nox = s.Noy = 25, s.Noz = 3;
  lay_out_axis(s.xmws, -0.014, 0.014, 25);
  lay_out_axis(s.ymws, -0.014, 0.014, 25);
  lay_out_axis(s.zmws, -0.001, 0.001, 3);
  ASSERT_GT(s.xmws(25), s.Xi(29));  // the case in point
  interpolate_field(s);
  double out[6];
  reference_interp(s, s.Xi(29), s.Yi(1), 0.0, out);  // the field on the end nodes
  EXPECT_EQ(s.ExOut(25, 1, 2), out[0]);
  EXPECT_EQ(s.HzOut(25, 1, 2), out[5]);
  EXPECT_NEAR(s.ExOut(25, 25, 2), 1.0, 1e-12);
}

TEST_F(InterpFixture, CentreNodeIsTheNearestTheUpperOneAtATie) {
  // Unit deltas at x nodes 1..4 (in four arrays) show which nodes the stencil uses and
  // with which weight.
  grid(0, 1, 6, 0, 1, 5, 0, 1, 5);
  store->ExFull(1, 3, 3) = 1, store->EyFull(2, 3, 3) = 1;
  store->EzFull(3, 3, 3) = 1, store->HxFull(4, 3, 3) = 1;
  double out[6];
  at(1.5, 2, 2, out);  // centre 3 (at 2.0), p = -0.5
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 0.375);
  EXPECT_EQ(out[2], 0.75);
  EXPECT_EQ(out[3], -0.125);
  at(1.4, 2, 2, out);  // centre 2 (at 1.0), p = 0.4
  const double p = 1.4 - 1.0;
  EXPECT_NEAR(out[0], -0.12, 1e-15);
  EXPECT_DOUBLE_EQ(out[0], (p * p - p) / 2);
  EXPECT_DOUBLE_EQ(out[1], 1 - p * p);
  EXPECT_DOUBLE_EQ(out[2], (p + p * p) / 2);
  EXPECT_EQ(out[3], 0.0);
  at(0, 2, 2, out);  // first node: centre 2, p = -1, only the lower neighbour counts
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[1], 0.0);
}

TEST_F(InterpFixture, BitForBitTheDocumentedSumInTheTransferLoopOnAnyNumberOfThreads) {
  // Steps that are not exact binary fractions, so that any other order of the operations
  // shows in the last bits.
  grid(-0.37, 1.28 / 6, 7, 0.11, 0.93 / 8, 9, -0.7, 1.4 / 10, 11);
  random_field(9);
  FieldStore& s = *store;
  std::mt19937_64 random(13);
  std::uniform_real_distribution<double> u(-0.05, 1.05);  // some nodes fall outside
  s.Nox = 9, s.Noy = 8, s.Noz = 12;
  for (int n = 1; n <= s.Nox; ++n) s.xmws(n) = s.Xi(1) + u(random) * (s.Xi(7) - s.Xi(1));
  for (int n = 1; n <= s.Noy; ++n) s.ymws(n) = s.Yi(1) + u(random) * (s.Yi(9) - s.Yi(1));
  for (int n = 1; n <= s.Noz; ++n) s.zmws(n) = s.Zi(1) + u(random) * (s.Zi(11) - s.Zi(1));
  s.xmws(1) = s.Xi(3), s.ymws(2) = (s.Yi(4) + s.Yi(5)) / 2, s.zmws(3) = s.Zi(11);
  OutputField* outputs[6] = {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut};
  for (const int threads : {1, 2, 5}) {
    SCOPED_TRACE(threads);
    TaskPool pool(threads);
    for (OutputField* f : outputs) f->values.fill(std::nan(""));
    interpolate_field(s, &pool);
    int inside = 0;
    for (int i = 1; i <= s.Nox; ++i) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int k = 1; k <= s.Noz; ++k) {
          double expected[6];
          reference_interp(s, s.xmws(i), s.ymws(j), s.zmws(k), expected);
          inside += expected[0] != 0.0;
          for (int a = 0; a < 6; ++a) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>((*outputs[a])(i, j, k)),
                      std::bit_cast<std::uint64_t>(expected[a]))
                << "array " << a << " at " << i << "," << j << "," << k;
          }
        }
      }
    }
    EXPECT_GT(inside, 400);
  }
}

}  // namespace
}  // namespace korvane
