#include "textio/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace korvane {
namespace {

std::string real(double v) {
  char field[real_width];
  format_real(v, field);
  return std::string(field, real_width);
}

std::string integer(std::int32_t v) {
  char field[integer_width];
  format_integer(v, field);
  return std::string(field, integer_width);
}

// An independent rendering of 1PG24.15E3 as the log and text field files use it, built from
// the digits of printf("%.14e") (the value rounded to 15 significant digits, which decides
// the form and gives the fixed form's digits) and printf("%.15e") (the exponent form's 16).
std::string reference(double v) {
  if (std::isnan(v)) return std::string(21, ' ') + "NaN";
  if (std::isinf(v)) {
    return v > 0 ? std::string(16, ' ') + "Infinity" : std::string(15, ' ') + "-Infinity";
  }
  const std::string sign = std::signbit(v) ? "-" : "";
  const double a = std::fabs(v);
  std::string body;
  if (a == 0) {
    body = sign + "0.000000000000000E+000";
    return std::string(24 - body.size(), ' ') + body;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.14e", a);  // d.dddddddddddddde[+-]XX
  std::string digits = std::string(1, text[0]) + std::string(text + 2, 14);
  int exponent = std::atoi(std::strchr(text, 'e') + 1);
  if (exponent >= -1 && exponent < 15) {
    if (exponent == -1) {
      body = "0." + digits;
    } else {
      body = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
             digits.substr(static_cast<std::size_t>(exponent + 1));
    }
    body = sign + body;
    return std::string(19 - body.size(), ' ') + body + "     ";
  }
  std::snprintf(text, sizeof text, "%.15e", a);
  exponent = std::atoi(std::strchr(text, 'e') + 1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
  body = sign + std::string(text, 17) + tail;
  return std::string(24 - body.size(), ' ') + body;
}

TEST(FormatReal, KnownRenderings) {
  EXPECT_EQ(real(1.0), "   1.00000000000000     ");
  EXPECT_EQ(real(0.5), "  0.500000000000000     ");
  EXPECT_EQ(real(1e-5), "  1.000000000000000E-005");
  EXPECT_EQ(real(0.0), "  0.000000000000000E+000");
  EXPECT_EQ(real(0.012566370614359173), "  1.256637061435917E-002");
  EXPECT_EQ(real(123.456), "   123.456000000000     ");
  EXPECT_EQ(real(2.0 / 3.0), "  0.666666666666667     ");
  EXPECT_EQ(real(1e14), "   100000000000000.     ");
  EXPECT_EQ(real(1e300), "  1.000000000000000E+300");
  EXPECT_EQ(real(std::numeric_limits<double>::max()), "  1.797693134862316E+308");
}

TEST(FormatReal, NegativesAndNegativeZero) {
  EXPECT_EQ(real(-1.0), "  -1.00000000000000     ");
  EXPECT_EQ(real(-0.5), " -0.500000000000000     ");
  EXPECT_EQ(real(-1e-5), " -1.000000000000000E-005");
  EXPECT_EQ(real(-0.0), " -0.000000000000000E+000");
  EXPECT_EQ(real(-123456789012345.0), "  -123456789012345.     ");
  EXPECT_EQ(real(-std::numeric_limits<double>::max()), " -1.797693134862316E+308");
}

TEST(FormatReal, InfinityAndNaNRightJustified) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(real(inf), "                Infinity");
  EXPECT_EQ(real(-inf), "               -Infinity");
  EXPECT_EQ(real(std::numeric_limits<double>::quiet_NaN()), "                     NaN");
  EXPECT_EQ(real(-std::numeric_limits<double>::quiet_NaN()), "                     NaN");
}

TEST(FormatReal, Subnormals) {
  EXPECT_EQ(real(std::numeric_limits<double>::denorm_min()), "  4.940656458412465E-324");
  EXPECT_EQ(real(-std::numeric_limits<double>::denorm_min()), " -4.940656458412465E-324");
  EXPECT_EQ(real(std::numeric_limits<double>::min()), "  2.225073858507201E-308");
  EXPECT_EQ(real(1e-310), "  9.999999999999969E-311");
}

// The form is decided on the value rounded to 15 significant digits.
TEST(FormatReal, LowerBoundaryOfFixedForm) {
  EXPECT_EQ(real(0.1), "  0.100000000000000     ");
  EXPECT_EQ(real(0.09999999999999999), "  0.100000000000000     ");
  EXPECT_EQ(real(0.09999999999999995), "  0.100000000000000     ");  // rounds up to 0.1
  EXPECT_EQ(real(0.09999999999999994), "  9.999999999999994E-002");  // stays below
  EXPECT_EQ(real(-0.09999999999999999), " -0.100000000000000     ");
  EXPECT_EQ(real(0.0999999999999999), "  9.999999999999989E-002");
}

TEST(FormatReal, UpperBoundaryOfFixedForm) {
  EXPECT_EQ(real(1e15), "  1.000000000000000E+015");
  EXPECT_EQ(real(999999999999999.9), "  9.999999999999999E+014");
  EXPECT_EQ(real(999999999999999.4), "   999999999999999.     ");
  EXPECT_EQ(real(-999999999999999.4), "  -999999999999999.     ");
  EXPECT_EQ(real(123456789012345.6), "   123456789012346.     ");
}

// Exact binary ties at the 15th or 16th digit round to even (std::to_chars).
TEST(FormatReal, TiesRoundToEven) {
  EXPECT_EQ(real(999999999999999.5), "  9.999999999999995E+014");  // 15 digits: up to 1e15
  EXPECT_EQ(real(999999999999998.5), "   999999999999998.     ");  // 15 digits: down
  EXPECT_EQ(real(1125899906842624.5), "  1.125899906842624E+015");
  EXPECT_EQ(real(1125899906842625.5), "  1.125899906842626E+015");
}

// gfortran 12 writes these as 1.00000000000000, 10.0000000000000, 100000000000000.: it
// picks the fixed layout from a threshold computed in floating point. Rounded to 15
// significant digits each stays below the power of ten, which decides the fixed layout here.
TEST(FormatReal, JustBelowPowersOfTenRoundedCorrectly) {
  EXPECT_EQ(real(0.99999999999999944), "  0.999999999999999     ");
  EXPECT_EQ(real(9.9999999999999947), "   9.99999999999999     ");
  EXPECT_EQ(real(99999999999999.938), "   99999999999999.9     ");
  EXPECT_EQ(real(0.99999999999999956), "   1.00000000000000     ");
}

TEST(FormatReal, RandomValuesMatchIndependentRendering) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  int checked = 0;
  auto check = [&](double v) {
    ASSERT_EQ(real(v), reference(v)) << "value " << std::hexfloat << v;
    ++checked;
  };
  // Decimal magnitudes from 1e-30 to 1e30, where both forms and their boundary lie.
  for (int n = 0; n < 20000; ++n) {
    const int exponent = static_cast<int>(rng() % 61) - 30;
    double v = mantissa(rng) * std::pow(10.0, exponent);
    if (rng() & 1) v = -v;
    check(v);
  }
  // Arbitrary bit patterns: every exponent, subnormals, infinities, NaNs.
  for (int n = 0; n < 10000; ++n) {
    const std::uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isnan(v)) check(v);
  }
  // A hundred doubles on each side of 10^k (and of 10^k rounded to 15 digits).
  for (int k = -2; k <= 16; ++k) {
    for (double centre : {std::pow(10.0, k), std::pow(10.0, k) * (1 - 5e-16)}) {
      double v = centre;
      for (int n = 0; n < 100; ++n) v = std::nextafter(v, 0.0);
      for (int n = 0; n < 200; ++n, v = std::nextafter(v, 1e300)) check(v);
    }
  }
  // Short decimals, the values a person types.
  for (int n = 0; n < 5000; ++n) {
    const double v = static_cast<double>(rng() % 2000001) / std::pow(10.0, rng() % 8);
    check(v);
  }
  EXPECT_GT(checked, 40000);
}

TEST(FormatInteger, RightJustifiedInTwelve) {
  EXPECT_EQ(integer(-99), "         -99");
  EXPECT_EQ(integer(0), "           0");
  EXPECT_EQ(integer(3), "           3");
  EXPECT_EQ(integer(201), "         201");
  EXPECT_EQ(integer(std::numeric_limits<std::int32_t>::max()), "  2147483647");
  EXPECT_EQ(integer(std::numeric_limits<std::int32_t>::min()), " -2147483648");
}

}  // namespace
}  // namespace korvane
