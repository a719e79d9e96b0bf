// The longest line of the table korvane-prepare writes: the converter's probe reads the
// first name_length characters of the table's first line, so a line of that length is
// written and converted, and a longer one is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "store/grid.h"
#include "support/test_support.h"

namespace korvane::prepare {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::ScratchDir;

// A whole 3 x 3 x 3 export in mm and V/m whose table lines take `width` characters: every
// value is written with a sign and zeros after the point, the last one padded to the rest.
std::string padded_export(int width) {
  const int value_width = (width - 5) / 6;
  const int last_width = width - 5 - 5 * value_width;
  auto text = [](double v, int characters) {
    char out[64];
    std::snprintf(out, sizeof out, "%+.*f", characters - 3, v);  // sign, digit, point
    return std::string(out);
  };
  std::string out = "x [mm] y [mm] z [mm] Ex [V/m] Ey [V/m] Ez [V/m]\n";
  for (int k = -1; k <= 1; ++k) {
    for (int j = -1; j <= 1; ++j) {
      for (int i = -1; i <= 1; ++i) {
        out += text(i, value_width) + " " + text(j, value_width) + " " + text(k, value_width) +
               " " + text(2 + i, value_width) + " " + text(3 + j, value_width) + " " +
               text(4 + k, last_width) + "\n";
      }
    }
  }
  return out;
}

TEST(TableLine, OfTheLengthTheConverterReadsIsWrittenAndConverted) {
  ScratchDir dir;
  testing::write_file(dir / "export.txt", padded_export(name_length));
  const ProcessResult prepared =
      testing::run_tool(KORVANE_PREPARE_BINARY, dir.path(), "export.txt --dir case");
  ASSERT_EQ(prepared.status, 0) << prepared.err;
  const std::string table = testing::read_file(dir / "case/table.txt");
  EXPECT_EQ(table.find('\n'), static_cast<std::size_t>(name_length));
  const ProcessResult converted = testing::run_korvane(dir.path(), "-C case");
  EXPECT_EQ(converted.status, 0) << converted.err;
}

TEST(TableLine, LongerThanTheConverterReadsIsRefused) {
  ScratchDir dir;
  testing::write_file(dir / "export.txt", padded_export(name_length + 1));
  const ProcessResult run =
      testing::run_tool(KORVANE_PREPARE_BINARY, dir.path(), "export.txt --dir case");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("line 2: the record's numbers take 133 characters on a line of the "
                         "table; the converter reads 132"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(dir / "case/table.txt"));
}

}  // namespace
}  // namespace korvane::prepare
