#include "inspect/render/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "inspect/render/svg_document.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

const char* const component_colours[3] = {"#1f77b4", "#d62728", "#2ca02c"};

// The name of a file as a title shows it: printable, one line.
std::string shown_name(const InspectedFile& file) { return printable(file.name); }

// The node nearest to coordinate 0 along an axis (the first of two at the same distance).
int node_nearest_zero(const FieldMap& s, int axis) {
  int best = 1;
  for (int n = 2; n <= s.count(axis); ++n) {
    if (std::fabs(s.node(axis, n)) < std::fabs(s.node(axis, best))) best = n;
  }
  return best;
}

// Edge n of `count` equal cells that cover [start, start + span], in hundredths of a unit:
// the two cells beside an edge print it from the same whole number, so they meet exactly
// and no seam of background shows between them.
long cell_edge(double start, double span, int n, int count) {
  return std::lround((start + span * n / count) * 100.0);
}

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
LinePlot plot_ranges(const FieldMap& s, const std::vector<Curve>& curves) {
  LinePlot plot;
  plot.zlo = s.zmws(1), plot.zhi = s.zmws(s.Noz);
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
void draw_curve(Svg& svg, const FieldMap& s, const LinePlot& p, const Curve& curve,
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
  for (int k = 1; k <= s.Noz; ++k) {
    const double v = values[static_cast<std::size_t>(k - 1)];
    if (!std::isfinite(v)) {
      flush();
      continue;
    }
    char point[64];
    std::snprintf(point, sizeof point, "%s%.2f,%.2f", points.empty() ? "" : " ", p.px(s.zmws(k)),
                  p.py(v));
    points += point;
  }
  flush();
  if (s.Noz <= 80) {
    svg.add("<g fill=\"%s\">\n", colour);
    for (int k = 1; k <= s.Noz; ++k) {
      const double v = values[static_cast<std::size_t>(k - 1)];
      if (std::isfinite(v))
        svg.add("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"2\"/>\n", p.px(s.zmws(k)), p.py(v));
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

// Curves along z with labelled axes (z in m) and a legend; `empty_note` is shown when every
// value is zero. A value that is not finite breaks its curve.
std::string line_plot_svg(const FieldMap& s, const std::string& title,
                          const std::string& value_label, const std::vector<Curve>& curves,
                          const std::string& empty_note) {
  const LinePlot plot = plot_ranges(s, curves);
  Svg svg;
  open_document(svg, LinePlot::width, LinePlot::height, title);
  svg.text(LinePlot::width / 2.0, 24, title, "middle", " font-size=\"14\"");
  draw_plot_frame(svg, plot, value_label);
  if (plot.all_zero) {
    svg.text(LinePlot::left + LinePlot::pw / 2, LinePlot::top + LinePlot::ph / 4, empty_note);
  }
  for (std::size_t c = 0; c < curves.size(); ++c) draw_curve(svg, s, plot, curves[c], c);
  svg.raw("</svg>\n");
  return svg.take();
}

// ---- colour maps on the planes through the axis ----

// The layout of the maps: one panel per component (columns) and plane (rows).
struct MapLayout {
  static constexpr double left = 70, right = 24, top = 44, bottom = 86, pw = 300, ph = 150;
  static constexpr double cell_w = left + pw + right, cell_h = top + ph + bottom, head = 34;
  static constexpr int width = static_cast<int>(3 * cell_w);
  static constexpr int height = static_cast<int>(head + 2 * cell_h);
};

// One panel: component `c` of a set on the x-z plane through node j0 (row 0, x across) or
// the y-z plane through node i0 (row 1, y across). Each node is drawn as the cell of one
// step around it, so the spans run half a step beyond the first and last node.
struct MapPanel {
  int row;                   // also the axis across the panel
  const OutputField* field;  // the component drawn
  int i0, j0;
  double x0, y0;           // the panel's top left corner
  int n_across;            // nodes across
  double zspan_lo, zspan;  // the z the panel's width covers
  double aspan_lo, aspan;  // the transverse coordinate its height covers
  double value(int a, int k) const { return row == 0 ? (*field)(a, j0, k) : (*field)(i0, a, k); }
};

MapPanel map_panel(const FieldMap& s, const FieldSet& set, int row, int c, int i0, int j0) {
  const double dz = s.step(2), d_across = s.step(row);
  MapPanel p{row, set.c[c], i0, j0, 0, 0, s.count(row), 0, 0, 0, 0};
  p.x0 = c * MapLayout::cell_w + MapLayout::left;
  p.y0 = MapLayout::head + row * MapLayout::cell_h + MapLayout::top;
  p.zspan_lo = s.zmws(1) - dz / 2, p.zspan = dz > 0 ? dz * s.Noz : 1.0;
  p.aspan_lo = s.node(row, 1) - d_across / 2;
  p.aspan = d_across > 0 ? d_across * p.n_across : 1.0;
  return p;
}

// The largest finite magnitude on the panel: the ends of its colour scale.
double panel_limit(const FieldMap& s, const MapPanel& p) {
  double limit = 0.0;
  for (int k = 1; k <= s.Noz; ++k) {
    for (int a = 1; a <= p.n_across; ++a) {
      if (std::isfinite(p.value(a, k))) limit = std::max(limit, std::fabs(p.value(a, k)));
    }
  }
  return limit;
}

void draw_map_cells(Svg& svg, const FieldMap& s, const MapPanel& p, double limit) {
  constexpr double pw = MapLayout::pw, ph = MapLayout::ph;
  svg.raw("<g shape-rendering=\"crispEdges\">\n");
  for (int k = 1; k <= s.Noz; ++k) {
    const long left_edge = cell_edge(p.x0, pw, k - 1, s.Noz);
    const long right_edge = cell_edge(p.x0, pw, k, s.Noz);
    for (int a = 1; a <= p.n_across; ++a) {
      // Rows count upwards from the bottom of the panel.
      const long top_edge = cell_edge(p.y0 + ph, -ph, a, p.n_across);
      const long bottom_edge = cell_edge(p.y0 + ph, -ph, a - 1, p.n_across);
      const double v = p.value(a, k);
      const double t = limit > 0.0 ? v / limit : (std::isnan(v) ? v : 0.0);
      svg.add("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>\n",
              left_edge / 100.0, top_edge / 100.0, (right_edge - left_edge) / 100.0,
              (bottom_edge - top_edge) / 100.0, diverging(t).c_str());
    }
  }
  svg.raw("</g>\n");
}

// The frame, z along the bottom and the transverse axis up the left side.
void draw_map_axes(Svg& svg, const FieldMap& s, const MapPanel& p) {
  constexpr double pw = MapLayout::pw, ph = MapLayout::ph;
  const double x0 = p.x0, y0 = p.y0;
  svg.add(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      x0, y0, pw, ph);
  const std::vector<double> zticks = nice_ticks(s.zmws(1), s.zmws(s.Noz), 4);
  const double zspacing = zticks.size() > 1 ? zticks[1] - zticks[0] : 1.0;
  for (double t : zticks) {
    const double x = x0 + (t - p.zspan_lo) / p.zspan * pw;
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n", x,
            y0 + ph, x, y0 + ph + 4);
    svg.text(x, y0 + ph + 16, tick_label(t, zspacing));
  }
  svg.text(x0 + pw / 2, y0 + ph + 32, "z (m)");
  const std::vector<double> aticks = nice_ticks(s.node(p.row, 1), s.node(p.row, p.n_across), 3);
  const double aspacing = aticks.size() > 1 ? aticks[1] - aticks[0] : 1.0;
  for (double t : aticks) {
    const double y = y0 + ph - (t - p.aspan_lo) / p.aspan * ph;
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n", x0 - 4, y,
            x0, y);
    svg.text(x0 - 6, y + 4, tick_label(t, aspacing), "end");
  }
  const double label_x = x0 - 52, label_y = y0 + ph / 2;
  svg.text(label_x, label_y, std::string(axis_names[p.row]) + " (m)", "middle",
           (" transform=\"rotate(-90 " + general_number(label_x, 6) + " " +
            general_number(label_y, 6) + ")\"")
               .c_str());
}

void draw_colour_scale(Svg& svg, const MapPanel& p, double limit) {
  constexpr double pw = MapLayout::pw;
  const double bar_y = p.y0 + MapLayout::ph + 44;
  svg.add(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"10\" fill=\"url(#diverging)\" "
      "stroke=\"#444444\"/>\n",
      p.x0, bar_y, pw);
  if (limit > 0.0) {
    svg.text(p.x0, bar_y + 24, general_number(-limit, 4), "start");
    svg.text(p.x0 + pw / 2, bar_y + 24, "0");
    svg.text(p.x0 + pw, bar_y + 24, general_number(limit, 4), "end");
  } else {
    svg.text(p.x0 + pw / 2, bar_y + 24, "zero everywhere on this plane");
  }
}

}  // namespace

std::string axis_plot_svg(const InspectedFile& file, const FieldSet& set) {
  const FieldMap& s = file.map;
  const int i0 = node_nearest_zero(s, 0), j0 = node_nearest_zero(s, 1);
  std::vector<Curve> curves;
  for (int c = 0; c < 3; ++c) {
    Curve curve{set.component(c), {}};
    for (int k = 1; k <= s.Noz; ++k) curve.values.push_back((*set.c[c])(i0, j0, k));
    curves.push_back(std::move(curve));
  }
  const std::string where =
      "x = " + general_number(s.xmws(i0), 4) + " m, y = " + general_number(s.ymws(j0), 4) +
      " m (node i = " + std::to_string(i0) + ", j = " + std::to_string(j0) + ")";
  return line_plot_svg(s, set.title + " along z at " + where + " - " + shown_name(file),
                       set.title + " (units of the file)", curves,
                       "all three components are zero along this line");
}

std::string axis_gradient_svg(const InspectedFile& file, const FieldSet& set,
                              const std::vector<double>& dfy_dx,
                              const std::vector<double>& dfx_dy) {
  const std::string& f = set.letter;
  const std::vector<Curve> curves = {{"d" + f + "y/dx", dfy_dx}, {"d" + f + "x/dy", dfx_dy}};
  return line_plot_svg(
      file.map,
      "transverse derivatives of " + set.title + " on the axis x = y = 0 - " + shown_name(file),
      set.title + " (units of the file) per m", curves, "both derivatives are zero along the axis");
}

std::string plane_maps_svg(const InspectedFile& file, const FieldSet& set) {
  const FieldMap& s = file.map;
  const int i0 = node_nearest_zero(s, 0), j0 = node_nearest_zero(s, 1);
  const std::string title =
      set.title + " on the x-z and y-z planes through the axis - " + shown_name(file);

  Svg svg;
  open_document(svg, MapLayout::width, MapLayout::height, title);
  svg.add(
      "<defs><linearGradient id=\"diverging\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">"
      "<stop offset=\"0\" stop-color=\"%s\"/><stop offset=\"0.25\" stop-color=\"%s\"/>"
      "<stop offset=\"0.5\" stop-color=\"%s\"/><stop offset=\"0.75\" stop-color=\"%s\"/>"
      "<stop offset=\"1\" stop-color=\"%s\"/></linearGradient></defs>\n",
      diverging(-1).c_str(), diverging(-0.5).c_str(), diverging(0).c_str(), diverging(0.5).c_str(),
      diverging(1).c_str());
  svg.text(MapLayout::width / 2.0, 22, title, "middle", " font-size=\"14\"");

  for (int row = 0; row < 2; ++row) {
    const std::string plane = row == 0 ? "x-z plane at y = " + general_number(s.ymws(j0), 4) + " m"
                                       : "y-z plane at x = " + general_number(s.xmws(i0), 4) + " m";
    for (int c = 0; c < 3; ++c) {
      const MapPanel panel = map_panel(s, set, row, c, i0, j0);
      const double limit = panel_limit(s, panel);
      svg.text(panel.x0 + MapLayout::pw / 2, panel.y0 - 10, set.component(c) + ", " + plane);
      draw_map_cells(svg, s, panel, limit);
      draw_map_axes(svg, s, panel);
      draw_colour_scale(svg, panel, limit);
    }
  }
  svg.raw("</svg>\n");
  return svg.take();
}

}  // namespace korvane::inspect
