// korvane's command line: -C DIR, and the hint for an export saved with its header.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::Control;
using testing::run_korvane;
using testing::ScratchDir;
using testing::write_file;

double zero(double, double, double, int) { return 0.0; }

TEST(CommandLine, DashCRunsTheConversionInTheFolder) {
  ScratchDir dir;
  fs::create_directory(dir / "case");
  write_file(dir / "case/korvane.dat", Control{}.text());
  const double lo[3] = {-1, -1, -1}, step[3] = {1, 1, 1};
  write_file(dir / "case/table.txt", testing::make_table(3, 3, 3, lo, step, 123, 6, zero));
  const testing::ProcessResult result = run_korvane(dir.path(), "-C case");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(dir / "case/eh_EMS.#07"));
  EXPECT_TRUE(fs::exists(dir / "case/korvane.log"));
  EXPECT_FALSE(fs::exists(dir / "korvane.log"));
}

TEST(CommandLine, DashCWithAFolderThatCannotBeEnteredStopsBeforeAnyFile) {
  ScratchDir dir;
  write_file(dir / "korvane.dat", Control{}.text());
  const testing::ProcessResult result = run_korvane(dir.path(), "-C nowhere");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "korvane: cannot enter the folder 'nowhere': No such file or directory\n");
  EXPECT_FALSE(fs::exists(dir / "korvane.log"));
}

TEST(CommandLine, AHeaderInTheTableNamesKorvanePrepare) {
  ScratchDir dir;
  write_file(dir / "korvane.dat", Control{}.text());
  write_file(dir / "table.txt", "x [mm]  y [mm]  z [mm]  Ex [V/m]  Ey [V/m]  Ez [V/m]\n");
  const testing::ProcessResult result = run_korvane(dir.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("'x' is not a real number (the first record must hold numbers only;"
                            " korvane-prepare reads an export with its header)"),
            std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace korvane
