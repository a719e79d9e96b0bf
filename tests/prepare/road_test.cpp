// The whole road with exports printed as a solver prints them (coordinates to seven digits):
// korvane-prepare's figure before the conversion is korvane-inspect --source's after it, a
// copied map departs from the table by nothing but the format's rounding, the grid chosen
// departs no more than the others tried, and what is refused leaves nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "departure/departure.h"
#include "fieldfile/field_reader.h"
#include "inspect/cli/cli.h"
#include "prepare/cli.h"
#include "support/test_support.h"
#include "textio/format.h"

namespace korvane::prepare {
namespace {

namespace fs = std::filesystem;

// nx x ny x nz nodes from lo (mm) a step of `step` mm apart, x fastest, printed with seven
// significant digits; E in V/m peaked on the axis: codes 1 at x = 0 and y = 0, 2 at z = 0.
std::string solver_export(const int n[3], const double lo[3], double step) {
  std::string out = "x [mm]  y [mm]  z [mm]  Ex [V/m]  Ey [V/m]  Ez [V/m]\n";
  char line[200];
  for (int k = 0; k < n[2]; ++k) {
    for (int j = 0; j < n[1]; ++j) {
      for (int i = 0; i < n[0]; ++i) {
        const double x = lo[0] + i * step, y = lo[1] + j * step, z = lo[2] + k * step;
        const double g = std::exp(-(x * x + y * y) / 30.0);
        const double s = std::sin(z / 9.0), c = std::cos(z / 9.0);
        std::snprintf(line, sizeof line, "%.7g %.7g %.7g %.9e %.9e %.9e\n", x, y, z,
                      1e5 * x * g * s, 1e5 * y * g * s, 1e6 * g * c);
        out += line;
      }
    }
  }
  return out;
}

struct RoadCase {
  const char* name;
  int nodes[3];
  double lo[3];
  const char* format;
  double copied_max;  // the largest departure of a copied map (-1: interpolated)
};

void PrintTo(const RoadCase& c, std::ostream* os) { *os << c.name; }

class Road : public ::testing::TestWithParam<RoadCase> {};

TEST_P(Road, PrepareStatesTheFigureSourceMeasures) {
  const RoadCase& c = GetParam();
  testing::ScratchDir dir;
  testing::write_file(dir / "export.txt", solver_export(c.nodes, c.lo, 1.2345678));
  std::string out, err;
  const int status =
      run_prepare({(dir / "export.txt").string(), "--dir", (dir / "case").string(), "--json",
                   "--format", c.format},
                  out, err);
  ASSERT_EQ(status, 0) << err;
  const nlohmann::json figure = nlohmann::json::parse(out)["departure"];
  ASSERT_EQ(testing::run_korvane(dir / "case").status, 0);

  const std::string map = (dir / "case" / "eh_EMS.#01").string();
  const SourceTable table = read_source_table((dir / "case" / "korvane.dat").string(), "test");
  const SourceComparison source =
      compare_with_source(*read_field_file(map, TripleSet::electric), table, 0.01);
  EXPECT_EQ(figure["max"].get<double>(), source.max);
  EXPECT_EQ(figure["rms"].get<double>(), source.rms);
  EXPECT_EQ(figure["outside"].get<long>(), source.outside);
  EXPECT_GT(table.rounding, 1e-9);  // the printed coordinates are not the nodes
  if (c.copied_max >= 0) {
    EXPECT_LE(source.max, c.copied_max);
  }
  // Of the grids tried, the one drafted departs least.
  for (const nlohmann::json& tried : figure["candidates"]) {
    EXPECT_LE(figure["max"].get<double>(), tried["max"].get<double>()) << tried;
  }
  // korvane-inspect prints the same figure.
  std::string report, messages;
  inspect::run_inspect({map, "--source", (dir / "case" / "korvane.dat").string()}, report,
                       messages);
  char line[80];
  std::snprintf(line, sizeof line, "source departure: max %s",
                general_number(source.max, 3).c_str());
  EXPECT_NE(report.find(line), std::string::npos) << report;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Exports, Road, ::testing::Values(
    // A whole cavity and an eighth: korvane copies the table's own nodes, format 0 exactly.
    RoadCase{"WholeCopiedFormat0", {9, 9, 15}, {-4.9382712, -4.9382712, -8.6419746}, "0", 0.0},
    RoadCase{"EighthKeptAndCopiedFormat2", {6, 6, 9}, {0, 0, 0}, "2", 1e-9},
    // 46 nodes across on a peaked field: more than the output holds, so candidates.
    RoadCase{"PeakedFortySixAcross", {46, 46, 5}, {-27.777776, -27.777776, -2.4691356}, "1",
             -1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(Road, AMapThatDepartsMoreThanAllowedWritesNothing) {
  testing::ScratchDir dir;
  const int n[3] = {46, 46, 5};
  const double lo[3] = {-27.777776, -27.777776, -2.4691356};
  testing::write_file(dir / "export.txt", solver_export(n, lo, 1.2345678));
  std::string out, err;
  EXPECT_EQ(run_prepare({(dir / "export.txt").string(), "--dir", (dir / "case").string(),
                         "--max-departure", "0.01"},
                        out, err),
            1);
  EXPECT_NE(err.find("more than --max-departure 0.01"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "case")) << err;
}

TEST(Road, AGitLfsPointerIsNamed) {
  testing::ScratchDir dir;
  testing::write_file(dir / "export.txt",
                      "version https://git-lfs.github.com/spec/v1\noid sha256:"
                      "4d7a214614ab2935c943f9e0ff69d22eadbb8f32b1258daaa5e2ca24d17e2393\n"
                      "size 155775309\n");
  std::string out, err;
  EXPECT_EQ(run_prepare({(dir / "export.txt").string(), "--dir", (dir / "case").string()}, out,
                        err),
            1);
  EXPECT_NE(err.find("Git LFS pointer"), std::string::npos) << err;
  EXPECT_NE(err.find("git lfs pull"), std::string::npos) << err;
}

}  // namespace
}  // namespace korvane::prepare
