#include "textio/format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvane {
namespace {

void right_justify(const char* text, int length, char* out, int width) {
  std::memset(out, ' ', static_cast<std::size_t>(width));
  std::memcpy(out + (width - length), text, static_cast<std::size_t>(length));
}

// Splits the output of to_chars in scientific form ("d.ddde-XX") into its digits (without
// the point) and its decimal exponent.
int split_scientific(const char* first, const char* last, char* digits) {
  int count = 0;
  const char* p = first;
  for (; p != last && *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+'), last, exponent);
  return exponent;
}

}  // namespace

void format_real(double value, char* out) {
  if (std::isnan(value)) return right_justify("NaN", 3, out, real_width);
  if (std::isinf(value)) {
    return value > 0 ? right_justify("Infinity", 8, out, real_width)
                     : right_justify("-Infinity", 9, out, real_width);
  }
  char text[32];
  int length = 0;
  if (std::signbit(value)) text[length++] = '-';
  if (value == 0.0) {
    static constexpr char zero[] = "0.000000000000000E+000";
    std::memcpy(text + length, zero, 22);
    return right_justify(text, length + 22, out, real_width);
  }
  const double magnitude = std::fabs(value);
  char buffer[40];
  char digits[20];

  // The form is chosen on the value rounded to 15 significant digits.
  auto rounded = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                               std::chars_format::scientific, 14);
  int exponent = split_scientific(buffer, rounded.ptr, digits);
  if (exponent >= -1 && exponent <= 14) {
    if (exponent == -1) {
      text[length++] = '0';
      text[length++] = '.';
      std::memcpy(text + length, digits, 15);
      length += 15;
    } else {
      const int before = exponent + 1;
      std::memcpy(text + length, digits, static_cast<std::size_t>(before));
      length += before;
      text[length++] = '.';
      std::memcpy(text + length, digits + before, static_cast<std::size_t>(15 - before));
      length += 15 - before;
    }
    right_justify(text, length, out, 19);
    std::memset(out + 19, ' ', 5);
    return;
  }

  auto full = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                            std::chars_format::scientific, 15);
  exponent = split_scientific(buffer, full.ptr, digits);
  text[length++] = digits[0];
  text[length++] = '.';
  std::memcpy(text + length, digits + 1, 15);
  length += 15;
  text[length++] = 'E';
  text[length++] = exponent < 0 ? '-' : '+';
  const int e = std::abs(exponent);
  text[length++] = static_cast<char>('0' + e / 100);
  text[length++] = static_cast<char>('0' + e / 10 % 10);
  text[length++] = static_cast<char>('0' + e % 10);
  right_justify(text, length, out, real_width);
}

void format_integer(std::int32_t value, char* out) {
  char text[16];
  auto end = std::to_chars(text, text + sizeof text, value);
  right_justify(text, static_cast<int>(end.ptr - text), out, integer_width);
}

std::string general_number(double value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

std::string exact_number(double value) { return general_number(value, 17); }

}  // namespace korvane
