#include "inspect/render/svg_document.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "textio/format.h"

namespace korvane::inspect {

void Svg::text(double x, double y, const std::string& content, const char* anchor,
               const char* extra) {
  add("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\"%s>", x, y, anchor, extra);
  text_ += xml_escape(content);
  text_ += "</text>\n";
}

void open_document(Svg& svg, int width, int height, const std::string& title) {
  svg.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.add(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
      "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\">\n",
      width, height, width, height);
  svg.raw("<title>" + xml_escape(title) + "</title>\n");
  svg.add("<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", width, height);
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
  const double first = std::ceil(lo / spacing - 1e-9);
  // A range within the last digits of its values: the tick count would pass 2^53, where
  // adding 1 no longer moves to the next tick.
  if (std::fabs(first) >= 0x1p53) return ticks;
  // A hair past hi, for a tick on hi that rounding put just beyond; near the largest double
  // the hair would reach infinity, which no tick passes.
  const double end = std::min(hi + spacing * 1e-9, std::numeric_limits<double>::max());
  for (double n = first; n * spacing <= end; n += 1.0) {
    ticks.push_back(n * spacing);
  }
  return ticks;
}

std::string tick_label(double value, double spacing) {
  if (std::fabs(value) < spacing * 1e-9) return "0";
  return general_number(value, 6);
}

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

}  // namespace korvane::inspect
