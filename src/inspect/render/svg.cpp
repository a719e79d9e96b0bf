#include "inspect/render/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "inspect/analysis/axis.h"
#include "inspect/render/colour_map.h"
#include "inspect/render/svg_document.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

const char* const component_colours[3] = {"#1f77b4", "#d62728", "#2ca02c"};

// The name of a file as a title shows it: printable, one line.
std::string shown_name(const InspectedFile& file) { return printable(file.name); }

// ---- line plots along z ----

// One curve of a line plot along z.
struct Curve {
  std::string name;
  std::vector<double> values;  // one per z node
};

// The plot area of a line plot along z, and the ranges of z and of the values it shows.
struct LinePlot {
  static constexpr int width = 760, height = 440;
  static constexpr double left = 90, right = 120, top = 50, bottom = 60;
  static constexpr double pw = width - left - right, ph = height - top - bottom;

  double zlo = 0.0, zhi = 0.0, vlo = 0.0, vhi = 0.0;
  double vscale = 1.0;    // 0.5 where the value range spans more than the largest double
  bool all_zero = false;  // every finite value is zero

  double px(double z) const { return left + (z - zlo) / (zhi - zlo) * pw; }
  double py(double v) const {
    return top + ph - (v * vscale - vlo * vscale) / (vhi * vscale - vlo * vscale) * ph;
  }
};

// The z range of the grid and the range of the curves' finite values, each widened so that
// it is never empty and the values keep clear of the frame.
LinePlot plot_ranges(const std::vector<double>& z, const std::vector<Curve>& curves) {
  LinePlot plot;
  plot.zlo = z.front(), plot.zhi = z.back();
  if (!(plot.zhi > plot.zlo)) plot.zlo -= 1.0, plot.zhi += 1.0;
  double vlo = std::numeric_limits<double>::infinity(), vhi = -vlo;
  for (const Curve& curve : curves) {
    for (double v : curve.values) {
      if (std::isfinite(v)) vlo = std::min(vlo, v), vhi = std::max(vhi, v);
    }
  }
  if (!(vhi >= vlo)) vlo = -1.0, vhi = 1.0;  // nothing finite to show
  plot.all_zero = vlo == 0.0 && vhi == 0.0;
  if (vhi == vlo) {
    const double pad = vhi == 0.0 ? 1.0 : std::fabs(vhi) * 0.1;
    vlo -= pad, vhi += pad;
  } else {
    const double pad = (vhi - vlo) * 0.05;
    vlo -= pad, vhi += pad;
  }
  // A pad past the largest double is cut there, and such a range is taken in halves (which
  // are exact there); a pad lost below the smallest (a constant subnormal value) leaves the
  // range empty, which is widened as a zero one is.
  constexpr double largest = std::numeric_limits<double>::max();
  vlo = std::max(vlo, -largest), vhi = std::min(vhi, largest);
  if (!(vhi > vlo)) vlo -= 1.0, vhi += 1.0;
  if (!std::isfinite(vhi - vlo)) plot.vscale = 0.5;
  plot.vlo = vlo, plot.vhi = vhi;
  return plot;
}

// The grid lines, the zero line, the frame, the tick labels and the axis labels.
void draw_plot_frame(Svg& svg, const LinePlot& p, const std::string& value_label) {
  constexpr double left = LinePlot::left, top = LinePlot::top;
  constexpr double pw = LinePlot::pw, ph = LinePlot::ph;
  const std::vector<double> zticks = nice_ticks(p.zlo, p.zhi, 8);
  const std::vector<double> vticks = nice_ticks(p.vlo, p.vhi, 6);
  const double zspacing = zticks.size() > 1 ? zticks[1] - zticks[0] : 1.0;
  const double vspacing = vticks.size() > 1 ? vticks[1] - vticks[0] : 1.0;
  svg.raw("<g stroke=\"#dddddd\" stroke-width=\"1\">\n");
  for (double t : zticks)
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", p.px(t), top, p.px(t),
            top + ph);
  for (double t : vticks)
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", left, p.py(t), left + pw,
            p.py(t));
  svg.raw("</g>\n");
  if (p.vlo < 0.0 && p.vhi > 0.0) {
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#888888\"/>\n", left,
            p.py(0.0), left + pw, p.py(0.0));
  }
  svg.add(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      left, top, pw, ph);
  for (double t : zticks) svg.text(p.px(t), top + ph + 16, tick_label(t, zspacing));
  for (double t : vticks) svg.text(left - 6, p.py(t) + 4, tick_label(t, vspacing), "end");
  svg.text(left + pw / 2, LinePlot::height - 16, "z (m)");
  svg.text(22, top + ph / 2, value_label, "middle",
           (" transform=\"rotate(-90 22 " + general_number(top + ph / 2, 6) + ")\"").c_str());
}

// Curve `index` of a plot: a line broken where a value is not finite, a dot per node when
// the nodes are few enough to tell apart, and its entry in the legend.
void draw_curve(Svg& svg, const std::vector<double>& z, const LinePlot& p, const Curve& curve,
                std::size_t index) {
  const char* colour = component_colours[index % 3];
  const std::vector<double>& values = curve.values;
  std::string points;
  auto flush = [&] {
    if (!points.empty()) {
      svg.add("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"", colour);
      svg.raw(points);
      svg.raw("\"/>\n");
    }
    points.clear();
  };
  for (std::size_t k = 0; k < z.size(); ++k) {
    const double v = values[k];
    if (!std::isfinite(v)) {
      flush();
      continue;
    }
    char point[64];
    std::snprintf(point, sizeof point, "%s%.2f,%.2f", points.empty() ? "" : " ", p.px(z[k]),
                  p.py(v));
    points += point;
  }
  flush();
  if (z.size() <= 80) {
    svg.add("<g fill=\"%s\">\n", colour);
    for (std::size_t k = 0; k < z.size(); ++k) {
      if (std::isfinite(values[k]))
        svg.add("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"2\"/>\n", p.px(z[k]), p.py(values[k]));
    }
    svg.raw("</g>\n");
  }
  constexpr double legend_x = LinePlot::left + LinePlot::pw;
  const double ly = LinePlot::top + 14 + 20 * static_cast<double>(index);
  svg.add(
      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
      "stroke-width=\"2\"/>\n",
      legend_x + 14, ly, legend_x + 40, ly, colour);
  svg.text(legend_x + 46, ly + 4, curve.name, "start");
}

// Curves along z (one value per node of `z`) with labelled axes (z in m) and a legend;
// `empty_note` is shown when every value is zero. A value that is not finite breaks its
// curve.
std::string line_plot_svg(const std::vector<double>& z, const std::string& title,
                          const std::string& value_label, const std::vector<Curve>& curves,
                          const std::string& empty_note, Placement placement) {
  const LinePlot plot = plot_ranges(z, curves);
  Svg svg;
  open_document(svg, LinePlot::width, LinePlot::height, title, placement);
  svg.text(LinePlot::width / 2.0, 24, title, "middle", " font-size=\"14\"");
  draw_plot_frame(svg, plot, value_label);
  if (plot.all_zero) {
    svg.text(LinePlot::left + LinePlot::pw / 2, LinePlot::top + LinePlot::ph / 4, empty_note);
  }
  for (std::size_t c = 0; c < curves.size(); ++c) draw_curve(svg, z, plot, curves[c], c);
  svg.raw("</svg>\n");
  return svg.take();
}

std::vector<double> z_nodes(const UnfoldedMap& map) {
  std::vector<double> z;
  for (int k = 1; k <= map.count(2); ++k) z.push_back(map.node(2, k));
  return z;
}

}  // namespace

std::string axis_plot_svg(const InspectedFile& file, const FieldSet& set, Placement placement) {
  const UnfoldedMap map(file.map);
  const int i0 = node_nearest_zero(map, 0), j0 = node_nearest_zero(map, 1);
  std::vector<Curve> curves;
  for (int c = 0; c < 3; ++c) {
    Curve curve{set.component(c), {}};
    for (int k = 1; k <= map.count(2); ++k) {
      curve.values.push_back(map.value(*set.c[c], c, i0, j0, k));
    }
    curves.push_back(std::move(curve));
  }
  const std::string where = "x = " + general_number(map.node(0, i0), 4) +
                            " m, y = " + general_number(map.node(1, j0), 4) +
                            " m (node i = " + std::to_string(map.stored(0, i0)) +
                            ", j = " + std::to_string(map.stored(1, j0)) + ")";
  return line_plot_svg(z_nodes(map), set.title + " along z at " + where + " - " + shown_name(file),
                       set.title + " (units of the file)", curves,
                       "all three components are zero along this line", placement);
}

std::string axis_gradient_svg(const InspectedFile& file, const FieldSet& set,
                              const std::vector<double>& dfy_dx, const std::vector<double>& dfx_dy,
                              Placement placement) {
  const std::string& f = set.letter;
  const std::vector<Curve> curves = {{"d" + f + "y/dx", dfy_dx}, {"d" + f + "x/dy", dfx_dy}};
  return line_plot_svg(
      z_nodes(UnfoldedMap(file.map)),
      "transverse derivatives of " + set.title + " on the axis x = y = 0 - " + shown_name(file),
      set.title + " (units of the file) per m", curves, "both derivatives are zero along the axis",
      placement);
}

std::string plane_maps_svg(const InspectedFile& file, const FieldSet& set,
                           const std::vector<int>& z_planes, Placement placement) {
  const UnfoldedMap map(file.map);
  const int centre[3] = {node_nearest_zero(map, 0), node_nearest_zero(map, 1), 0};
  const std::string title = set.title + " on the " +
                            (z_planes.empty() ? "x-z and y-z planes through the axis"
                                              : "x-z and y-z planes through the axis and the "
                                                "x-y plane") +
                            " - " + shown_name(file);
  constexpr double head = 34;
  const int rows = 2 + static_cast<int>(z_planes.size());
  Svg svg;
  open_document(svg, static_cast<int>(3 * plane_box_width),
                static_cast<int>(head + rows * plane_box_height), title, placement);
  if (placement == Placement::standalone) colour_bar_defs(svg);
  svg.text(3 * plane_box_width / 2, 22, title, "middle", " font-size=\"14\"");
  const Cells cells = placement == Placement::standalone ? Cells::vectors : Cells::raster;
  for (int row = 0; row < rows; ++row) {
    // The x-z plane through y = 0, the y-z plane through x = 0, then each x-y plane asked for.
    const int normal = row == 0 ? 1 : row == 1 ? 0 : 2;
    const int node = row < 2 ? centre[normal] : z_planes[static_cast<std::size_t>(row - 2)];
    for (int c = 0; c < 3; ++c) {
      draw_plane(svg, map_plane(map, set, c, normal, node), c * plane_box_width,
                 head + row * plane_box_height, cells);
    }
  }
  svg.raw("</svg>\n");
  return svg.take();
}

}  // namespace korvane::inspect
