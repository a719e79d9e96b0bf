// The SVG pictures are well-formed XML with labelled axes; the VTK and CSV exports hold
// the grid and every value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "inspect/render/export.h"
#include "inspect/render/svg.h"
#include "inspect/render/svg_document.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

// A small check of XML well-formedness: one root element, tags that nest and close,
// attributes quoted, no markup characters in text and values except the five entities.
// Returns "" or what is wrong.
std::string xml_fault(const std::string& x) {
  std::vector<std::string> open;
  std::size_t p = 0;
  int roots = 0;
  auto name_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.';
  };
  auto check_text = [&](std::size_t from, std::size_t to) -> std::string {
    for (std::size_t i = from; i < to; ++i) {
      if (x[i] == '<' || x[i] == '>') return "markup character in text at " + std::to_string(i);
      if (x[i] == '&') {
        const std::size_t semi = x.find(';', i);
        const std::string entity = x.substr(i, semi == std::string::npos ? 1 : semi - i + 1);
        if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
            entity != "&apos;") {
          return "bad entity at " + std::to_string(i);
        }
      }
    }
    return "";
  };
  if (x.rfind("<?xml", 0) == 0) p = x.find("?>") + 2;
  while (p < x.size()) {
    const std::size_t lt = x.find('<', p);
    const std::size_t text_end = lt == std::string::npos ? x.size() : lt;
    if (open.empty() && x.find_first_not_of(" \n", p) < text_end) return "text outside the root";
    if (std::string f = check_text(p, text_end); !f.empty()) return f;
    if (lt == std::string::npos) break;
    p = lt + 1;
    const bool closing = x[p] == '/';
    if (closing) ++p;
    const std::size_t name_start = p;
    while (p < x.size() && name_char(x[p])) ++p;
    const std::string name = x.substr(name_start, p - name_start);
    if (name.empty()) return "tag without a name at " + std::to_string(lt);
    if (closing) {
      if (open.empty() || open.back() != name) return "</" + name + "> does not match";
      open.pop_back();
      if (x[p] != '>') return "junk in closing tag " + name;
      ++p;
      continue;
    }
    for (;;) {
      while (x[p] == ' ' || x[p] == '\n') ++p;
      if (x[p] == '>' || x.compare(p, 2, "/>") == 0) break;
      const std::size_t attr = p;
      while (name_char(x[p])) ++p;
      if (p == attr || x[p] != '=' || x[p + 1] != '"') return "bad attribute in <" + name + ">";
      const std::size_t close = x.find('"', p + 2);
      if (close == std::string::npos) return "unterminated attribute";
      if (std::string f = check_text(p + 2, close); !f.empty()) return f;
      p = close + 1;
    }
    if (open.empty() && ++roots > 1) return "more than one root";
    if (x[p] == '/') {
      p += 2;
    } else {
      open.push_back(name);
      ++p;
    }
  }
  if (!open.empty()) return "<" + open.back() + "> is not closed";
  return roots == 1 ? "" : "no root element";
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    s.Nox = 3, s.Noy = 4, s.Noz = 7;
    s.ksym_y = 1;
    for (int n = 1; n <= 3; ++n) s.xmws(n) = 0.01 * (n - 2);
    for (int n = 1; n <= 4; ++n) s.ymws(n) = 0.005 * (n - 1);
    for (int n = 1; n <= 7; ++n) s.zmws(n) = 0.02 * (n - 4);
    for (int k = 1; k <= 7; ++k) {
      for (int j = 1; j <= 4; ++j) {
        for (int i = 1; i <= 3; ++i) {
          s.ExOut(i, j, k) = std::sin(k + i);
          s.EyOut(i, j, k) = -1e-3 * j;
          s.HzOut(i, j, k) = 1e5 * k;
        }
      }
    }
    s.EzOut(2, 1, 3) = std::nan("");
    s.format = 1;
    s.sets = FieldSets::both;
    s.components = 6;
  }
  InspectedFile file() const { return {"a<b>&'c\".dat", s}; }

  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& s = *map;
};

TEST_F(Pictures, SvgIsWellFormedXmlWithLabelledAxes) {
  const FieldSet electric = field_sets(s)[0];
  const std::string axis = axis_plot_svg(file(), electric);
  const std::string maps = plane_maps_svg(file(), electric);
  EXPECT_EQ(xml_fault(axis), "");
  EXPECT_EQ(xml_fault(maps), "");
  EXPECT_NE(axis.find("z (m)"), std::string::npos);
  EXPECT_NE(axis.find("E along z at x = 0 m, y = 0 m (node i = 2, j = 1)"), std::string::npos);
  EXPECT_NE(axis.find("a&lt;b&gt;&amp;&apos;c&quot;.dat"), std::string::npos);
  // The NaN in Ez at k = 3 splits its line in two.
  EXPECT_EQ(count(axis, "<polyline"), 4u);
  EXPECT_NE(maps.find("x (m)"), std::string::npos);
  EXPECT_NE(maps.find("y (m)"), std::string::npos);
  EXPECT_NE(maps.find("Ez, x-z plane at y = 0 m"), std::string::npos);
  // One cell per node of each map (3 x 7, and 7 x 7 with y = 0 unfolded, three components),
  // one frame and one colour scale per map, and the background.
  EXPECT_EQ(count(maps, "<rect"), 3u * (21 + 49) + 6 * 2 + 1);
  EXPECT_NE(maps.find("fill=\"#808080\""), std::string::npos);  // the NaN cell

  // The same through an XML parser, where there is one.
  if (std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 with xml.etree not found";
  }
  korvane::testing::ScratchDir dir;
  for (const std::string* svg : {&axis, &maps}) {
    korvane::testing::write_file(dir / "p.svg", *svg);
    const std::string command =
        "python3 -c 'import sys, xml.etree.ElementTree as E; "
        "r = E.parse(sys.argv[1]).getroot(); sys.exit(r.tag != "
        "\"{http://www.w3.org/2000/svg}svg\")' '" +
        (dir / "p.svg").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

// A constant subnormal field lost its range's padding below the smallest double, and one
// that spans the largest doubles of both signs overflowed its range: each point was drawn
// at a height that is not a number. Rows: constant, alternating subnormal, alternating
// largest values along the axis.
TEST_F(Pictures, AxisPlotOfSubnormalOrExtremeValuesPlacesEveryPoint) {
  constexpr double tiny = std::numeric_limits<double>::denorm_min();
  constexpr double huge = std::numeric_limits<double>::max();
  for (const auto& [odd, even] : {std::pair{tiny, tiny}, {tiny, -tiny}, {huge, -huge}}) {
    for (int k = 1; k <= 7; ++k) {
      const double v = k % 2 != 0 ? odd : even;
      for (int i = 1; i <= 3; ++i) s.ExOut(i, 1, k) = s.EyOut(i, 1, k) = s.EzOut(i, 1, k) = v;
    }
    EXPECT_EQ(axis_plot_svg(file(), field_sets(s)[0]).find("nan"), std::string::npos) << even;
  }
}

// The cells of a colour map tile their panel: each cell starts exactly where its
// neighbour ends, so no thin line of background shows between them.
TEST_F(Pictures, MapCellsShareTheirEdges) {
  const std::string maps = plane_maps_svg(file(), field_sets(s)[0]);
  struct Cell {
    long x, y, w, h;  // hundredths, as printed
  };
  auto attribute = [](const std::string& tag, const char* name) {
    const std::size_t at = tag.find(std::string(" ") + name + "=\"") + std::strlen(name) + 3;
    return std::lround(std::stod(tag.substr(at)) * 100);
  };
  int panels = 0;
  for (std::size_t p = maps.find("crispEdges"); p != std::string::npos;
       p = maps.find("crispEdges", p + 1), ++panels) {
    std::vector<Cell> cells;  // z slowest, the transverse axis upwards fastest
    const std::size_t end = maps.find("</g>", p);
    for (std::size_t r = maps.find("<rect", p); r < end; r = maps.find("<rect", r + 1)) {
      const std::string tag = maps.substr(r, maps.find('>', r) - r);
      cells.push_back({attribute(tag, "x"), attribute(tag, "y"), attribute(tag, "width"),
                       attribute(tag, "height")});
    }
    const std::size_t across = panels % 6 < 3 ? 3 : 7;  // x-z maps first, then y-z
    ASSERT_EQ(cells.size(), across * 7);
    for (std::size_t n = 0; n + 1 < cells.size(); ++n) {
      const Cell& a = cells[n];
      const Cell& b = cells[n + 1];
      if ((n + 1) % across != 0) {
        EXPECT_EQ(b.x, a.x) << n;
        EXPECT_EQ(b.y + b.h, a.y) << n;  // the next cell up ends where this one starts
      } else {
        EXPECT_EQ(b.x, a.x + a.w) << n;  // the next column starts where this one ends
      }
    }
  }
  EXPECT_EQ(panels, 6);
}

// A piece is appended whole however long it is; it was cut at 512 bytes without a word.
TEST(Svg, PieceLongerThanABufferIsKeptWhole) {
  Svg svg;
  const std::string label(600, 'x');
  svg.add("<g id=\"%s\">", label.c_str());
  EXPECT_EQ(svg.take(), "<g id=\"" + label + "\">");
}

TEST(NiceTicks, RoundSteps) {
  EXPECT_EQ(nice_ticks(-0.018, 0.018, 4), (std::vector<double>{-0.01, 0.0, 0.01}));
  const std::vector<double> z = nice_ticks(0.0, 0.05, 8);
  ASSERT_EQ(z.size(), 11u);
  EXPECT_NEAR(z[10], 0.05, 1e-15);
  EXPECT_TRUE(nice_ticks(1.0, 1.0, 5).empty());
  // Adjacent doubles: the step was so fine that counting the ticks never ended.
  EXPECT_TRUE(nice_ticks(1.0, 1.0000000000000002, 6).empty());
  // Near the largest double the last tick's allowance reached infinity: no end either.
  constexpr double huge = std::numeric_limits<double>::max();
  EXPECT_EQ(nice_ticks(0.9 * huge, huge, 6).size(), 9u);
}

// The file keeps y = 0 (ksym_y = 1): both exports hold it unfolded, Ey (odd) mirrored.
TEST_F(Pictures, VtkAndCsvHoldTheGridAndEveryValue) {
  StringSink vtk;
  write_vtk(file(), UnfoldedMap(s), vtk);
  std::istringstream in(vtk.text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "# vtk DataFile Version 3.0");
  std::getline(in, line);  // title
  EXPECT_NE(line.find(", unfolded over y = 0 (ksym_y = 1)"), std::string::npos) << line;
  std::getline(in, line);
  EXPECT_EQ(line, "ASCII");
  std::getline(in, line);
  EXPECT_EQ(line, "DATASET STRUCTURED_POINTS");
  std::getline(in, line);
  EXPECT_EQ(line, "DIMENSIONS 3 7 7");
  std::getline(in, line);
  EXPECT_EQ(line, "ORIGIN -0.01 -0.014999999999999999 -0.059999999999999998");
  std::getline(in, line);
  EXPECT_EQ(line, "SPACING 0.01 0.0050000000000000001 0.02");
  std::getline(in, line);
  EXPECT_EQ(line, "POINT_DATA 147");
  std::getline(in, line);
  EXPECT_EQ(line, "VECTORS E double");
  for (int n = 0; n < 147; ++n) std::getline(in, line);
  EXPECT_EQ(line, "-0.54402111088936977 -0.0040000000000000001 0");  // node (3, 7, 7)
  std::getline(in, line);
  EXPECT_EQ(line, "VECTORS H double");

  StringSink csv;
  write_csv(UnfoldedMap(s), csv);
  EXPECT_EQ(count(csv.text, "\n"), 148u);
  EXPECT_EQ(csv.text.substr(0, csv.text.find('\n')), "x,y,z,Ex,Ey,Ez,Hx,Hy,Hz");
  // Stored node (2, 2, 3) mirrored is node (2, 3, 3), the 8th of the 3rd z layer (x
  // fastest): line 1 + 42 + 8; the plane node (2, 4, 3) is 3 lines further.
  std::istringstream rows(csv.text);
  for (int n = 0; n < 51; ++n) std::getline(rows, line);
  EXPECT_EQ(line, "0,-0.0050000000000000001,-0.02,-0.95892427466313845,0.002,0,0,-0,300000");
  for (int n = 0; n < 3; ++n) std::getline(rows, line);
  EXPECT_EQ(line, "0,0,-0.02,-0.95892427466313845,-0.001,nan,0,0,300000");
}

}  // namespace
}  // namespace korvane::inspect
