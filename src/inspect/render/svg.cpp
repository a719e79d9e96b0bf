#include "inspect/render/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "textio/errors.h"

namespace korvane::inspect {
namespace {

const char* const component_colours[3] = {"#1f77b4", "#d62728", "#2ca02c"};

// Appends printf-style text; the pictures are built from many small pieces.
class Svg {
 public:
  template <class First, class... Rest>
  void add(const char* format, First first, Rest... rest) {
    char piece[512];
    const int n = std::snprintf(piece, sizeof piece, format, first, rest...);
    if (n > 0) text_.append(piece, static_cast<std::size_t>(std::min<int>(n, sizeof piece - 1)));
  }
  void raw(std::string_view text) { text_ += text; }
  void text(double x, double y, const std::string& content, const char* anchor = "middle",
            const char* extra = "") {
    add("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\"%s>", x, y, anchor, extra);
    text_ += xml_escape(content);
    text_ += "</text>\n";
  }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

void open_document(Svg& svg, int width, int height, const std::string& title) {
  svg.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.add(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
      "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\">\n",
      width, height, width, height);
  svg.raw("<title>" + xml_escape(title) + "</title>\n");
  svg.add("<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", width, height);
}

std::string tick_label(double value, double spacing) {
  if (std::fabs(value) < spacing * 1e-9) return "0";
  return number(value, 6);
}

// The name of a file as a title shows it: printable, one line.
std::string shown_name(const InspectedFile& file) { return printable(file.name); }

// Colour of t in [-1, 1] on a blue-white-red scale; grey for a value that is not a number.
std::string diverging(double t) {
  static const double stops[5][3] = {
      {33, 102, 172}, {103, 169, 207}, {247, 247, 247}, {239, 138, 98}, {178, 24, 43}};
  if (std::isnan(t)) return "#808080";
  t = std::clamp(t, -1.0, 1.0);
  const double u = (t + 1.0) * 2.0;  // 0..4
  const int seg = std::min(3, static_cast<int>(u));
  const double f = u - seg;
  char colour[8];
  int rgb[3];
  for (int c = 0; c < 3; ++c) {
    rgb[c] = static_cast<int>(std::lround(stops[seg][c] + f * (stops[seg + 1][c] - stops[seg][c])));
  }
  std::snprintf(colour, sizeof colour, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return colour;
}

// Edge n of `count` equal cells that cover [start, start + span], in hundredths of a unit:
// the two cells beside an edge print it from the same whole number, so they meet exactly
// and no seam of background shows between them.
long cell_edge(double start, double span, int n, int count) {
  return std::lround((start + span * n / count) * 100.0);
}

}  // namespace

std::string xml_escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::vector<double> nice_ticks(double lo, double hi, int target) {
  std::vector<double> ticks;
  if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) return ticks;
  const double raw = (hi - lo) / target;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  const double spacing = (norm < 1.5   ? 1.0
                          : norm < 3.0 ? 2.0
                          : norm < 7.0 ? 5.0
                                       : 10.0) *
                         magnitude;
  for (double n = std::ceil(lo / spacing - 1e-9); n * spacing <= hi + spacing * 1e-9; n += 1.0) {
    ticks.push_back(n * spacing);
  }
  return ticks;
}

namespace {

// One curve of a line plot along z.
struct Curve {
  std::string name;
  std::vector<double> values;  // one per z node
};

// Curves along z with labelled axes (z in m) and a legend; `empty_note` is shown when every
// value is zero. A value that is not finite breaks its curve.
std::string line_plot_svg(const FieldStore& s, const std::string& title,
                          const std::string& value_label, const std::vector<Curve>& curves,
                          const std::string& empty_note) {
  constexpr int width = 760, height = 440;
  constexpr double left = 90, right = 120, top = 50, bottom = 60;
  constexpr double pw = width - left - right, ph = height - top - bottom;

  double zlo = s.zmws(1), zhi = s.zmws(s.Noz);
  if (!(zhi > zlo)) zlo -= 1.0, zhi += 1.0;
  double vlo = std::numeric_limits<double>::infinity(), vhi = -vlo;
  for (const Curve& curve : curves) {
    for (double v : curve.values) {
      if (std::isfinite(v)) vlo = std::min(vlo, v), vhi = std::max(vhi, v);
    }
  }
  if (!(vhi >= vlo)) vlo = -1.0, vhi = 1.0;  // nothing finite to show
  const bool all_zero = vlo == 0.0 && vhi == 0.0;
  if (vhi == vlo) {
    const double pad = vhi == 0.0 ? 1.0 : std::fabs(vhi) * 0.1;
    vlo -= pad, vhi += pad;
  } else {
    const double pad = (vhi - vlo) * 0.05;
    vlo -= pad, vhi += pad;
  }
  auto px = [&](double z) { return left + (z - zlo) / (zhi - zlo) * pw; };
  auto py = [&](double v) { return top + ph - (v - vlo) / (vhi - vlo) * ph; };

  Svg svg;
  open_document(svg, width, height, title);
  svg.text(width / 2.0, 24, title, "middle", " font-size=\"14\"");

  const std::vector<double> zticks = nice_ticks(zlo, zhi, 8);
  const std::vector<double> vticks = nice_ticks(vlo, vhi, 6);
  const double zspacing = zticks.size() > 1 ? zticks[1] - zticks[0] : 1.0;
  const double vspacing = vticks.size() > 1 ? vticks[1] - vticks[0] : 1.0;
  svg.raw("<g stroke=\"#dddddd\" stroke-width=\"1\">\n");
  for (double t : zticks)
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", px(t), top, px(t),
            top + ph);
  for (double t : vticks)
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", left, py(t), left + pw,
            py(t));
  svg.raw("</g>\n");
  if (vlo < 0.0 && vhi > 0.0) {
    svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#888888\"/>\n", left,
            py(0.0), left + pw, py(0.0));
  }
  svg.add(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      left, top, pw, ph);
  for (double t : zticks) svg.text(px(t), top + ph + 16, tick_label(t, zspacing));
  for (double t : vticks) svg.text(left - 6, py(t) + 4, tick_label(t, vspacing), "end");
  svg.text(left + pw / 2, height - 16, "z (m)");
  svg.text(22, top + ph / 2, value_label, "middle",
           (" transform=\"rotate(-90 22 " + number(top + ph / 2, 6) + ")\"").c_str());

  if (all_zero) svg.text(left + pw / 2, top + ph / 4, empty_note);
  for (std::size_t c = 0; c < curves.size(); ++c) {
    const char* colour = component_colours[c % 3];
    const std::vector<double>& values = curves[c].values;
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
      std::snprintf(point, sizeof point, "%s%.2f,%.2f", points.empty() ? "" : " ", px(s.zmws(k)),
                    py(v));
      points += point;
    }
    flush();
    if (s.Noz <= 80) {
      svg.add("<g fill=\"%s\">\n", colour);
      for (int k = 1; k <= s.Noz; ++k) {
        const double v = values[static_cast<std::size_t>(k - 1)];
        if (std::isfinite(v))
          svg.add("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"2\"/>\n", px(s.zmws(k)), py(v));
      }
      svg.raw("</g>\n");
    }
    const double ly = top + 14 + 20 * static_cast<double>(c);
    svg.add(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
        "stroke-width=\"2\"/>\n",
        left + pw + 14, ly, left + pw + 40, ly, colour);
    svg.text(left + pw + 46, ly + 4, curves[c].name, "start");
  }
  svg.raw("</svg>\n");
  return svg.take();
}

}  // namespace

std::string axis_plot_svg(const InspectedFile& file, const FieldSet& set) {
  const FieldStore& s = file.store;
  const int i0 = node_nearest_zero(s, 0), j0 = node_nearest_zero(s, 1);
  std::vector<Curve> curves;
  for (int c = 0; c < 3; ++c) {
    Curve curve{set.component(c), {}};
    for (int k = 1; k <= s.Noz; ++k) curve.values.push_back((*set.c[c])(i0, j0, k));
    curves.push_back(std::move(curve));
  }
  const std::string where = "x = " + number(s.xmws(i0), 4) + " m, y = " + number(s.ymws(j0), 4) +
                            " m (node i = " + std::to_string(i0) + ", j = " + std::to_string(j0) +
                            ")";
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
      file.store,
      "transverse derivatives of " + set.title + " on the axis x = y = 0 - " + shown_name(file),
      set.title + " (units of the file) per m", curves, "both derivatives are zero along the axis");
}

std::string plane_maps_svg(const InspectedFile& file, const FieldSet& set) {
  const FieldStore& s = file.store;
  const int i0 = node_nearest_zero(s, 0), j0 = node_nearest_zero(s, 1);
  constexpr double left = 70, right = 24, top = 44, bottom = 86, pw = 300, ph = 150;
  constexpr double cell_w = left + pw + right, cell_h = top + ph + bottom, head = 34;
  const int width = static_cast<int>(3 * cell_w);
  const int height = static_cast<int>(head + 2 * cell_h);
  const std::string title =
      set.title + " on the x-z and y-z planes through the axis - " + shown_name(file);

  Svg svg;
  open_document(svg, width, height, title);
  svg.add(
      "<defs><linearGradient id=\"diverging\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">"
      "<stop offset=\"0\" stop-color=\"%s\"/><stop offset=\"0.25\" stop-color=\"%s\"/>"
      "<stop offset=\"0.5\" stop-color=\"%s\"/><stop offset=\"0.75\" stop-color=\"%s\"/>"
      "<stop offset=\"1\" stop-color=\"%s\"/></linearGradient></defs>\n",
      diverging(-1).c_str(), diverging(-0.5).c_str(), diverging(0).c_str(), diverging(0.5).c_str(),
      diverging(1).c_str());
  svg.text(width / 2.0, 22, title, "middle", " font-size=\"14\"");

  const double dz = step(s, 2);
  for (int row = 0; row < 2; ++row) {
    // Row 0: x across the plane y = y(j0); row 1: y across the plane x = x(i0).
    const int axis = row;
    const int n_across = node_count(s, axis);
    const double d_across = step(s, axis);
    const char* across = row == 0 ? "x" : "y";
    const std::string plane = row == 0 ? "x-z plane at y = " + number(s.ymws(j0), 4) + " m"
                                       : "y-z plane at x = " + number(s.xmws(i0), 4) + " m";
    // Each node is drawn as the cell of one step around it.
    const double zspan_lo = s.zmws(1) - dz / 2, zspan = dz > 0 ? dz * s.Noz : 1.0;
    const double aspan_lo = node(s, axis, 1) - d_across / 2;
    const double aspan = d_across > 0 ? d_across * n_across : 1.0;
    for (int c = 0; c < 3; ++c) {
      const double x0 = c * cell_w + left, y0 = head + row * cell_h + top;
      auto value = [&](int a, int k) {
        return row == 0 ? (*set.c[c])(a, j0, k) : (*set.c[c])(i0, a, k);
      };
      double limit = 0.0;
      for (int k = 1; k <= s.Noz; ++k) {
        for (int a = 1; a <= n_across; ++a) {
          if (std::isfinite(value(a, k))) limit = std::max(limit, std::fabs(value(a, k)));
        }
      }
      svg.text(x0 + pw / 2, y0 - 10, set.component(c) + ", " + plane);
      svg.raw("<g shape-rendering=\"crispEdges\">\n");
      for (int k = 1; k <= s.Noz; ++k) {
        const long left_edge = cell_edge(x0, pw, k - 1, s.Noz);
        const long right_edge = cell_edge(x0, pw, k, s.Noz);
        for (int a = 1; a <= n_across; ++a) {
          // Rows count upwards from the bottom of the panel.
          const long top_edge = cell_edge(y0 + ph, -ph, a, n_across);
          const long bottom_edge = cell_edge(y0 + ph, -ph, a - 1, n_across);
          const double v = value(a, k);
          const double t = limit > 0.0 ? v / limit : (std::isnan(v) ? v : 0.0);
          svg.add("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>\n",
                  left_edge / 100.0, top_edge / 100.0, (right_edge - left_edge) / 100.0,
                  (bottom_edge - top_edge) / 100.0, diverging(t).c_str());
        }
      }
      svg.raw("</g>\n");
      svg.add(
          "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
          "stroke=\"black\"/>\n",
          x0, y0, pw, ph);
      // Axes: z along the bottom, the transverse axis up the left side.
      const std::vector<double> zticks = nice_ticks(s.zmws(1), s.zmws(s.Noz), 4);
      const double zspacing = zticks.size() > 1 ? zticks[1] - zticks[0] : 1.0;
      for (double t : zticks) {
        const double x = x0 + (t - zspan_lo) / zspan * pw;
        svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n", x,
                y0 + ph, x, y0 + ph + 4);
        svg.text(x, y0 + ph + 16, tick_label(t, zspacing));
      }
      svg.text(x0 + pw / 2, y0 + ph + 32, "z (m)");
      const std::vector<double> aticks = nice_ticks(node(s, axis, 1), node(s, axis, n_across), 3);
      const double aspacing = aticks.size() > 1 ? aticks[1] - aticks[0] : 1.0;
      for (double t : aticks) {
        const double y = y0 + ph - (t - aspan_lo) / aspan * ph;
        svg.add("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n",
                x0 - 4, y, x0, y);
        svg.text(x0 - 6, y + 4, tick_label(t, aspacing), "end");
      }
      const double label_x = x0 - 52, label_y = y0 + ph / 2;
      svg.text(label_x, label_y, std::string(across) + " (m)", "middle",
               (" transform=\"rotate(-90 " + number(label_x, 6) + " " + number(label_y, 6) + ")\"")
                   .c_str());
      // Colour scale.
      const double bar_y = y0 + ph + 44;
      svg.add(
          "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"10\" fill=\"url(#diverging)\" "
          "stroke=\"#444444\"/>\n",
          x0, bar_y, pw);
      if (limit > 0.0) {
        svg.text(x0, bar_y + 24, number(-limit, 4), "start");
        svg.text(x0 + pw / 2, bar_y + 24, "0");
        svg.text(x0 + pw, bar_y + 24, number(limit, 4), "end");
      } else {
        svg.text(x0 + pw / 2, bar_y + 24, "zero everywhere on this plane");
      }
    }
  }
  svg.raw("</svg>\n");
  return svg.take();
}

}  // namespace korvane::inspect
