// The one-pass path for short decimals must give the correctly rounded double, the same
// as strtod, for every form a solver writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "textio/group_reader.h"

namespace korvane {
namespace {

void expect_as_strtod(const std::string& token) {
  double value = -123.0;
  ASSERT_EQ(parse_real(token, value), TokenStatus::ok) << token;
  std::string c_form = token;
  for (char& ch : c_form) {
    if (ch == 'D' || ch == 'd') ch = 'e';
  }
  const double reference = std::strtod(c_form.c_str(), nullptr);
  EXPECT_EQ(value, reference) << token;
  EXPECT_EQ(std::signbit(value), std::signbit(reference)) << token;
}

TEST(ShortDecimal, RandomSolverStyleNumbersRoundLikeStrtod) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_int_distribution<int> digits(1, 19);
  char text[64];
  for (int n = 0; n < 200000; ++n) {
    const double v = mantissa(random) * std::pow(10.0, exponent(random));
    const int d = digits(random);
    std::snprintf(text, sizeof text, n % 3 == 0 ? "%.*e" : n % 3 == 1 ? "%.*f" : "%.*E", d,
                  v);
    expect_as_strtod(text);
  }
}

TEST(ShortDecimal, EdgeForms) {
  for (const char* token :
       {"0", "-0", "-0.0", "+0.0", "0.000", ".5", "5.", "-.5", "+5.", "007", "1e22", "1e23",
        "9007199254740993", "9007199254740992", "123456789012345678", "1234567890123456789",
        "12345678901234567890", "0.1", "0.30000000000000004", "1.7976931348623157e308",
        "4.9e-324", "1e-320", "2.5D-3", "2.5d+3", "1E+05", "00000000000000000000001.5",
        "0.00000000000000000000000000001", "1.000000000000000000000000000001"}) {
    expect_as_strtod(token);
  }
}

}  // namespace
}  // namespace korvane
