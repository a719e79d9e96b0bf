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

void open_document(Svg& svg, int width, int height, const std::string& title, Placement placement) {
  if (placement == Placement::standalone) {
    svg.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  }
  svg.add(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
      "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\"",
      width, height, width, height);
  if (placement == Placement::in_page) {
    svg.raw(" role=\"img\" aria-label=\"" + xml_escape(title) + "\"");
    svg.raw(" style=\"max-width:100%;height:auto\"");
  }
  svg.raw(">\n<title>" + xml_escape(title) + "</title>\n");
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

namespace {

// t in [0, 1] along a scale of five stops.
Rgb along(const double (&stops)[5][3], double t) {
  const double u = std::clamp(t, 0.0, 1.0) * 4.0;  // 0..4
  const int seg = std::min(3, static_cast<int>(u));
  const double f = u - seg;
  std::uint8_t rgb[3];
  for (int c = 0; c < 3; ++c) {
    rgb[c] = static_cast<std::uint8_t>(
        std::lround(stops[seg][c] + f * (stops[seg + 1][c] - stops[seg][c])));
  }
  return {rgb[0], rgb[1], rgb[2]};
}

}  // namespace

Rgb diverging_rgb(double t) {
  static const double stops[5][3] = {
      {33, 102, 172}, {103, 169, 207}, {247, 247, 247}, {239, 138, 98}, {178, 24, 43}};
  if (std::isnan(t)) return not_a_number_colour;
  return along(stops, (std::clamp(t, -1.0, 1.0) + 1.0) / 2.0);
}

Rgb sequential_rgb(double t) {
  static const double stops[5][3] = {
      {255, 255, 255}, {253, 212, 158}, {252, 141, 89}, {215, 48, 31}, {127, 0, 0}};
  if (std::isnan(t)) return not_a_number_colour;
  return along(stops, t);
}

std::string hex(Rgb colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
  return text;
}

std::string diverging(double t) { return hex(diverging_rgb(t)); }

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
