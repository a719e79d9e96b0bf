#include "textio/format.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

std::string real(double v) {
  char field[real_width];
  format_real(v, field);
  return std::string(field, real_width);
}

TEST(FormatReal, KnownRenderings) {
  EXPECT_EQ(real(1.0), "   1.00000000000000     ");
  EXPECT_EQ(real(0.5), "  0.500000000000000     ");
  EXPECT_EQ(real(1e-5), "  1.000000000000000E-005");
  EXPECT_EQ(real(0.0), "  0.000000000000000E+000");
}

}  // namespace
}  // namespace korvane
