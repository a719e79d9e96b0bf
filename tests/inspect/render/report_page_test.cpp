// korvane-inspect --report through the whole run: what each kind of map puts on the page,
// the exit status, and a page that loads nothing from elsewhere. The browser tests
// (tests/browser) load the pages in chromium.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "driver/conversion.h"
#include "fieldfile/field_file.h"
#include "inspect/cli/cli.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

namespace fs = std::filesystem;
using korvane::testing::read_file;
using korvane::testing::ScratchDir;

enum class Kind { quadrupole, kept_plane, both_sets, not_a_number };

struct Page {
  const char* name;
  Kind kind;
  std::vector<std::string> options;
  int status;
  std::vector<std::string> shown;
  int first_map_rows = 0;  // x nodes of the first colour map's image (0: not checked)
};

void PrintTo(const Page& page, std::ostream* os) { *os << page.name; }

// A small map of H (or E and H) on 5 x 4 x 7 nodes; a kept plane x = 0 holds x >= 0.
std::string write_map(Kind kind, const fs::path& path) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  s.ifield = kind == Kind::both_sets ? 2 : 1, s.k_s_EH = kind == Kind::both_sets;
  s.iend = -99, s.d_elm = 0.12, s.aper = 0.02;
  s.Nox = 5, s.Noy = 4, s.Noz = 7;
  s.ksym_x = kind == Kind::kept_plane ? 2 : 0;
  s.Xmin = kind == Kind::kept_plane ? 0.0 : -0.02, s.Xmax = 0.02;
  s.Ymin = -0.015, s.Ymax = 0.015, s.Zmin = -0.06, s.Zmax = 0.06;
  lay_out_axis(s.xmws, s.Xmin, s.Xmax, s.Nox);
  lay_out_axis(s.ymws, s.Ymin, s.Ymax, s.Noy);
  lay_out_axis(s.zmws, s.Zmin, s.Zmax, s.Noz);
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        const double x = s.xmws(i), y = s.ymws(j), f = std::cos(10.0 * s.zmws(k));
        s.HxOut(i, j, k) = 1e5 * y * f, s.HyOut(i, j, k) = 1e5 * x * f;
        s.HzOut(i, j, k) = 1e3 * x * y;
        if (kind == Kind::both_sets) s.EzOut(i, j, k) = 50.0 * f;
      }
    }
  }
  if (kind == Kind::not_a_number) s.HyOut(2, 3, 4) = std::nan("");
  StringSink sink;
  write_format1(s, sink);
  korvane::testing::write_file(path, sink.text);
  return path.string();
}

// The quadrupole example converted in `dir`, on the shipped road.
std::string convert_quadrupole(const ScratchDir& dir) {
  for (const auto& entry :
       fs::directory_iterator(fs::path(KORVANE_SOURCE_DIR) / "examples" / "quadrupole")) {
    fs::copy_file(entry.path(), dir / entry.path().filename().string());
  }
  korvane::testing::WorkingDir here(dir.path());
  StorePtr converter = make_store();
  korvane::testing::CollectedWarnings warnings;
  EXPECT_EQ(run_conversion(*converter, warnings).status, 0);
  return (dir / "eh_EMS.#01").string();
}

// The height of the first colour map's PNG image in the page's pictures, from its header.
int first_image_height(const std::string& html) {
  const std::string data = "data:image/png;base64,";
  const std::size_t at = html.find(data, html.find("<section id=\"pictures\">")) + data.size();
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  for (std::size_t n = at; n < at + 32; n += 4) {
    unsigned group = 0;
    for (std::size_t k = 0; k < 4; ++k) group = group << 6 | unsigned(digits.find(html[n + k]));
    bytes += {char(group >> 16), char(group >> 8 & 255), char(group & 255)};
  }
  // The signature (8 bytes), the IHDR chunk's length and type, its width, then its height.
  int height = 0;
  for (int n = 20; n < 24; ++n) height = height << 8 | static_cast<unsigned char>(bytes[n]);
  return height;
}

class ReportPage : public ::testing::TestWithParam<Page> {};

TEST_P(ReportPage, ShowsWhatTheRunFound) {
  const Page& p = GetParam();
  ScratchDir dir;
  const std::string map =
      p.kind == Kind::quadrupole ? convert_quadrupole(dir) : write_map(p.kind, dir / "eh_EMS.#02");
  const std::string page = (dir / "page.html").string();
  std::vector<std::string> args{map, "--report", page};
  for (const std::string& option : p.options) {
    args.push_back(option == "CONTROL" ? (dir / "korvane.dat").string() : option);
  }
  std::string out, err;
  EXPECT_EQ(run_inspect(args, out, err), p.status) << out << err;
  const std::string html = read_file(page);
  for (const std::string& text : p.shown) EXPECT_NE(html.find(text), std::string::npos) << text;
  // Where the map departs, on the input grid's planes through the worst record.
  if (p.kind == Kind::quadrupole) {
    EXPECT_NE(html.find("|map - table| / max |H|, x-z plane at y = "), std::string::npos);
  }
  if (p.first_map_rows > 0) {
    EXPECT_EQ(first_image_height(html), p.first_map_rows);
  }
  // The terminal report's last figure of the departure is the page's, digit for digit.
  const std::size_t figure = out.find("source departure: max");
  if (figure != std::string::npos) {
    EXPECT_NE(html.find(out.substr(figure, out.find('\n', figure) - figure)), std::string::npos);
  }
  // Nothing is loaded from elsewhere: the only address is the SVG namespace's name.
  std::string rest = html;
  for (std::size_t at; (at = rest.find("http://www.w3.org/2000/svg")) != std::string::npos;) {
    rest.erase(at, 26);
  }
  for (const char* outside : {"http:", "https:", "<script", "<link", "url(http", "src=\""}) {
    EXPECT_EQ(rest.find(outside), std::string::npos) << outside;
  }
  EXPECT_NE(html.find("korvane-inspect " + map + " --report " + page), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
            p.kind == Kind::quadrupole ? 6 : 2);  // no temporary left beside the page
}

INSTANTIATE_TEST_SUITE_P(
    Maps, ReportPage,
    ::testing::Values(Page{"QuadrupoleWithItsTable",
                           Kind::quadrupole,
                           {"--source", "CONTROL"},
                           0,
                           {"Checks: no fault found", "within the tolerance 0.01",
                            "H in G, the converter", "<section id=\"source\">"},
                           21},
                      Page{"KeptPlaneMirroredInThePictures",
                           Kind::kept_plane,
                           {"--field", "H"},
                           0,
                           {"x = 0 (ksym_x = 2): mirrored in the pictures",
                            "Hx, y-z plane at x = 0 m", "Kept symmetry planes: the odd components"},
                           9},  // the x-z map spans both sides: 2 x 5 - 1 nodes of x
                      Page{"BothSetsInTheUnitsOfTheFile",
                           Kind::both_sets,
                           {},
                           0,
                           {"E in the units of the file", "H in the units of the file",
                            "1: E and H"}},
                      Page{"NotANumberIsAFaultAndThePageIsWritten",
                           Kind::not_a_number,
                           {"--field", "H"},
                           1,
                           {"Checks: FAULT: 1 value is NaN or infinite", "class=\"verdict fault\"",
                            "NaN or infinite, left out"}}),
    [](const ::testing::TestParamInfo<Page>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::inspect
