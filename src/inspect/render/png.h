// Small raster images for the pictures of korvane-inspect's page: a colour map's cells as
// one PNG image each (compressed by zlib), embedded in the page as a data URI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::inspect {

// An image of width x height pixels, each four bytes (red, green, blue, alpha), rows from
// the top.
struct RgbaImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // 4 * width * height bytes
};

// The bytes of a PNG file holding `image` (8-bit RGBA, not interlaced, every row unfiltered,
// one zlib stream). Throws std::runtime_error when zlib fails; std::invalid_argument for an
// image of no pixel or whose pixels do not match its size.
std::string encode_png(const RgbaImage& image);

// "data:image/png;base64,..." for the PNG file `png`.
std::string png_data_uri(const std::string& png);

}  // namespace korvane::inspect
