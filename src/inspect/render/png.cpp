#include "inspect/render/png.h"

#include <zlib.h>

#include <stdexcept>

namespace korvane::inspect {
namespace {

constexpr unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr unsigned char rgba_colour_type = 6;

void put_u32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

// A chunk: its length, its type, its data and the CRC of type and data.
void put_chunk(std::string& out, const char (&type)[5], const std::string& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t from = out.size();
  out.append(type, 4);
  out += data;
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + from);
  put_u32(out, static_cast<std::uint32_t>(
                   crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(out.size() - from))));
}

}  // namespace

std::string encode_png(const RgbaImage& image) {
  const std::size_t row = 4 * static_cast<std::size_t>(image.width);
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != row * static_cast<std::size_t>(image.height)) {
    throw std::invalid_argument("a PNG image needs width x height pixels of four bytes");
  }
  // Each row starts with its filter type, 0: the bytes as they are.
  std::string raw;
  raw.reserve((row + 1) * static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(image.pixels.data()) + row * y, row);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    throw std::runtime_error("zlib could not compress a picture");
  }
  packed.resize(packed_size);

  std::string header;
  put_u32(header, static_cast<std::uint32_t>(image.width));
  put_u32(header, static_cast<std::uint32_t>(image.height));
  header += static_cast<char>(8);                 // bits per sample
  header += static_cast<char>(rgba_colour_type);  // red, green, blue, alpha
  header.append(3, '\0');                         // deflate, no filter choice, not interlaced
  std::string png(reinterpret_cast<const char*>(signature), sizeof signature);
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", packed);
  put_chunk(png, "IEND", "");
  return png;
}

std::string png_data_uri(const std::string& png) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out = "data:image/png;base64,";
  out.reserve(out.size() + (png.size() + 2) / 3 * 4);
  for (std::size_t n = 0; n < png.size(); n += 3) {
    const std::size_t left = png.size() - n;
    std::uint32_t group = static_cast<std::uint8_t>(png[n]) << 16;
    if (left > 1) group |= static_cast<std::uint8_t>(png[n + 1]) << 8;
    if (left > 2) group |= static_cast<std::uint8_t>(png[n + 2]);
    out += digits[(group >> 18) & 63];
    out += digits[(group >> 12) & 63];
    out += left > 1 ? digits[(group >> 6) & 63] : '=';
    out += left > 2 ? digits[group & 63] : '=';
  }
  return out;
}

}  // namespace korvane::inspect
