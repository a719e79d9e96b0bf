// The pieces every picture of korvane-inspect is built from: an SVG document assembled from
// printf-style pieces, the axis ticks, and the colour scale of the maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::inspect {

// An SVG document under construction. Every piece is appended whole, however long.
class Svg {
 public:
  // Appends `format` with its arguments, as printf renders them.
  template <class First, class... Rest>
  void add(const char* format, First first, Rest... rest) {
    const int length = std::snprintf(nullptr, 0, format, first, rest...);
    if (length <= 0) return;
    const std::size_t at = text_.size(), size = static_cast<std::size_t>(length);
    text_.resize(at + size + 1);  // room for the NUL that snprintf writes
    std::snprintf(text_.data() + at, size + 1, format, first, rest...);
    text_.resize(at + size);
  }
  void raw(std::string_view text) { text_ += text; }
  // A <text> element at (x, y) holding `content`, escaped; `extra` holds further attributes.
  void text(double x, double y, const std::string& content, const char* anchor = "middle",
            const char* extra = "");
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// The XML declaration (for a standalone file), the <svg> element of `width` x `height` on a
// white background, and its title, which is also its text alternative. Inside a page the
// element scales down to the page's width.
enum class Placement { standalone, in_page };
void open_document(Svg& svg, int width, int height, const std::string& title,
                   Placement placement = Placement::standalone);

// Tick positions at 1, 2 or 5 times a power of ten covering [lo, hi], about `target` many.
std::vector<double> nice_ticks(double lo, double hi, int target);

// A tick's label: "0" for a value within a billionth of `spacing` of zero, else 6 digits.
std::string tick_label(double value, double spacing);

struct Rgb {
  std::uint8_t r, g, b;
};
inline constexpr Rgb not_a_number_colour{128, 128, 128};

// Colour of t in [-1, 1] on a blue-white-red scale (t clamped); grey for a value that is not
// a number.
Rgb diverging_rgb(double t);
// Colour of t in [0, 1] on a white-yellow-red scale for magnitudes (t clamped); grey for a
// value that is not a number.
Rgb sequential_rgb(double t);
// "#rrggbb".
std::string hex(Rgb colour);
// hex(diverging_rgb(t)).
std::string diverging(double t);

// Text with &, <, >, " and ' written as entities.
std::string xml_escape(std::string_view text);

}  // namespace korvane::inspect
