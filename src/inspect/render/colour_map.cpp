#include "inspect/render/colour_map.h"

#include <algorithm>
#include <cmath>

#include "inspect/render/png.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

// Inside the box: the map's place and size.
constexpr double left = 70, top = 44, pw = 300, ph = 150;

// Edge n of `count` equal cells that cover [start, start + span], in hundredths of a unit:
// the two cells beside an edge print it from the same whole number, so they meet exactly
// and no seam of background shows between them.
long cell_edge(double start, double span, int n, int count) {
  return std::lround((start + span * n / count) * 100.0);
}

// The coordinate range the cells of an axis cover: half a step beyond the first and the
// last node (a single node covers one unit).
struct Span {
  double lo = 0.0, size = 1.0;
};

Span cell_span(const std::vector<double>& nodes) {
  const double n = static_cast<double>(nodes.size());
  const double step = nodes.size() > 1 ? (nodes.back() - nodes.front()) / (n - 1.0) : 0.0;
  if (!(step > 0.0)) return {nodes.front() - 0.5, 1.0};
  return {nodes.front() - step / 2, step * n};
}

// The ends of the colour scale: the largest finite magnitude over the cells drawn.
double scale_limit(const PlaneValues& p) {
  double limit = 0.0;
  for (std::size_t u = 0; u < p.up.size(); ++u) {
    for (std::size_t a = 0; a < p.across.size(); ++a) {
      const double v = p.at(a, u);
      if (!p.is_blank(a, u) && std::isfinite(v)) limit = std::max(limit, std::fabs(v));
    }
  }
  return limit;
}

Rgb cell_colour(const PlaneValues& p, double v, double limit) {
  if (std::isnan(v)) return not_a_number_colour;
  if (p.magnitude) return sequential_rgb(limit > 0.0 ? v / limit : 0.0);
  return diverging_rgb(limit > 0.0 ? v / limit : 0.0);
}

void draw_cells_as_vectors(Svg& svg, const PlaneValues& p, double x0, double y0, double limit) {
  const int na = static_cast<int>(p.across.size()), nu = static_cast<int>(p.up.size());
  svg.raw("<g shape-rendering=\"crispEdges\">\n");
  for (int k = 0; k < na; ++k) {
    const long left_edge = cell_edge(x0, pw, k, na);
    const long right_edge = cell_edge(x0, pw, k + 1, na);
    for (int a = 0; a < nu; ++a) {
      if (p.is_blank(static_cast<std::size_t>(k), static_cast<std::size_t>(a))) continue;
      // Rows count upwards from the bottom of the map.
      const long top_edge = cell_edge(y0 + ph, -ph, a + 1, nu);
      const long bottom_edge = cell_edge(y0 + ph, -ph, a, nu);
      const double v = p.at(static_cast<std::size_t>(k), static_cast<std::size_t>(a));
      svg.add("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>\n",
              left_edge / 100.0, top_edge / 100.0, (right_edge - left_edge) / 100.0,
              (bottom_edge - top_edge) / 100.0, hex(cell_colour(p, v, limit)).c_str());
    }
  }
  svg.raw("</g>\n");
}

// An embedded image, stretched over its box without smoothing, so each pixel stays a cell.
void draw_image(Svg& svg, const RgbaImage& image, double x, double y, double w, double h) {
  svg.add(
      "<image x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" preserveAspectRatio=\"none\" "
      "style=\"image-rendering:pixelated\" href=\"",
      x, y, w, h);
  svg.raw(png_data_uri(encode_png(image)));
  svg.raw("\"/>\n");
}

void draw_cells_as_image(Svg& svg, const PlaneValues& p, double x0, double y0, double limit) {
  RgbaImage image{static_cast<int>(p.across.size()), static_cast<int>(p.up.size()), {}};
  image.pixels.reserve(4 * p.across.size() * p.up.size());
  for (std::size_t row = 0; row < p.up.size(); ++row) {
    const std::size_t u = p.up.size() - 1 - row;  // the top row is the last node up
    for (std::size_t a = 0; a < p.across.size(); ++a) {
      const Rgb c = cell_colour(p, p.at(a, u), limit);
      const bool blank = p.is_blank(a, u);
      image.pixels.insert(image.pixels.end(), {c.r, c.g, c.b, std::uint8_t(blank ? 0 : 255)});
    }
  }
  draw_image(svg, image, x0, y0, pw, ph);
}

// The frame, the axis across along the bottom and the axis up along the left side.
void draw_axes(Svg& svg, const PlaneValues& p, double x0, double y0) {
  svg.add(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      x0, y0, pw, ph);
  const Span across = cell_span(p.across), up = cell_span(p.up);
  const std::vector<double> aticks = nice_ticks(p.across.front(), p.across.back(), 4);
  const double aspacing = aticks.size() > 1 ? aticks[1] - aticks[0] : 1.0;
  for (double t : aticks) {
    const double x = x0 + (t - across.lo) / across.size * pw;
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n", x,
            y0 + ph, x, y0 + ph + 4);
    svg.text(x, y0 + ph + 16, tick_label(t, aspacing));
  }
  svg.text(x0 + pw / 2, y0 + ph + 32, std::string(axis_names[p.across_axis]) + " (m)");
  const std::vector<double> uticks = nice_ticks(p.up.front(), p.up.back(), 3);
  const double uspacing = uticks.size() > 1 ? uticks[1] - uticks[0] : 1.0;
  for (double t : uticks) {
    const double y = y0 + ph - (t - up.lo) / up.size * ph;
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n", x0 - 4, y,
            x0, y);
    svg.text(x0 - 6, y + 4, tick_label(t, uspacing), "end");
  }
  const double label_x = x0 - 52, label_y = y0 + ph / 2;
  svg.text(label_x, label_y, std::string(axis_names[p.up_axis]) + " (m)", "middle",
           (" transform=\"rotate(-90 " + general_number(label_x, 6) + " " +
            general_number(label_y, 6) + ")\"")
               .c_str());
}

void draw_colour_bar(Svg& svg, const PlaneValues& p, double x0, double y0, double limit,
                     Cells cells) {
  const double bar_y = y0 + ph + 44;
  if (cells == Cells::vectors) {
    svg.add(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"10\" fill=\"url(#%s)\" "
        "stroke=\"#444444\"/>\n",
        x0, bar_y, pw, p.magnitude ? "magnitude" : "diverging");
  } else {
    constexpr int steps = 256;
    RgbaImage bar{steps, 1, {}};
    for (int n = 0; n < steps; ++n) {
      const double t = static_cast<double>(n) / (steps - 1);
      const Rgb c = p.magnitude ? sequential_rgb(t) : diverging_rgb(2.0 * t - 1.0);
      bar.pixels.insert(bar.pixels.end(), {c.r, c.g, c.b, 255});
    }
    draw_image(svg, bar, x0, bar_y, pw, 10);
    svg.add(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"10\" fill=\"none\" "
        "stroke=\"#444444\"/>\n",
        x0, bar_y, pw);
  }
  if (!(limit > 0.0)) {
    svg.text(x0 + pw / 2, bar_y + 24,
             p.magnitude ? "zero at every record on this plane" : "zero everywhere on this plane");
    return;
  }
  svg.text(x0, bar_y + 24, p.magnitude ? "0" : general_number(-limit, 4), "start");
  svg.text(x0 + pw / 2, bar_y + 24, p.magnitude ? general_number(limit / 2, 4) : "0");
  svg.text(x0 + pw, bar_y + 24, general_number(limit, 4), "end");
}

}  // namespace

int node_nearest_zero(const UnfoldedMap& map, int axis) {
  int best = 1;
  for (int n = 2; n <= map.count(axis); ++n) {
    if (std::fabs(map.node(axis, n)) < std::fabs(map.node(axis, best))) best = n;
  }
  return best;
}

PlaneValues map_plane(const UnfoldedMap& map, const FieldSet& set, int component, int normal,
                      int node) {
  PlaneValues p;
  p.across_axis = normal == 2 ? 0 : 2;
  p.up_axis = normal == 0 ? 1 : normal == 1 ? 0 : 1;
  const char* plane = normal == 0 ? "y-z" : normal == 1 ? "x-z" : "x-y";
  p.title = set.component(component) + ", " + plane + " plane at " + axis_names[normal] + " = " +
            general_number(map.node(normal, node), 4) + " m";
  for (int n = 1; n <= map.count(p.across_axis); ++n)
    p.across.push_back(map.node(p.across_axis, n));
  for (int n = 1; n <= map.count(p.up_axis); ++n) p.up.push_back(map.node(p.up_axis, n));
  const OutputField& field = *set.c[component];
  for (int u = 1; u <= map.count(p.up_axis); ++u) {
    for (int a = 1; a <= map.count(p.across_axis); ++a) {
      int at[3];
      at[normal] = node, at[p.across_axis] = a, at[p.up_axis] = u;
      p.values.push_back(map.value(field, component, at[0], at[1], at[2]));
    }
  }
  return p;
}

void colour_bar_defs(Svg& svg) {
  svg.raw("<defs>");
  for (const bool magnitude : {false, true}) {
    svg.add("<linearGradient id=\"%s\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">",
            magnitude ? "magnitude" : "diverging");
    for (int n = 0; n <= 4; ++n) {
      const double t = n / 4.0;
      const Rgb c = magnitude ? sequential_rgb(t) : diverging_rgb(2.0 * t - 1.0);
      svg.add("<stop offset=\"%g\" stop-color=\"%s\"/>", t, hex(c).c_str());
    }
    svg.raw("</linearGradient>");
  }
  svg.raw("</defs>\n");
}

void draw_plane(Svg& svg, const PlaneValues& p, double x, double y, Cells cells) {
  const double x0 = x + left, y0 = y + top;
  const double limit = scale_limit(p);
  svg.text(x0 + pw / 2, y0 - 10, p.title);
  if (cells == Cells::vectors) {
    draw_cells_as_vectors(svg, p, x0, y0, limit);
  } else {
    draw_cells_as_image(svg, p, x0, y0, limit);
  }
  draw_axes(svg, p, x0, y0);
  draw_colour_bar(svg, p, x0, y0, limit, cells);
}

}  // namespace korvane::inspect
