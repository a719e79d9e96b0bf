#include "textio/errors.h"

#include <algorithm>
#include <cstdio>

namespace korvane {

std::string printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string TextPlace::message(std::string_view what) const {
  std::string text;
  if (!program.empty()) {
    text += program;
    text += ": ";
  }
  if (unit != 0) text += "unit " + std::to_string(unit) + ", ";
  text += "file '" + printable(file) + "'";
  if (record > 0) text += ", record " + std::to_string(record);
  if (line > 0) text += ", line " + std::to_string(line);
  text += ": ";
  text += what;
  return text;
}

std::string TextPlace::message(std::string_view what, std::string_view text,
                               std::size_t column) const {
  return message(what) + "\n" + caret_excerpt(text, column);
}

std::string located_message(std::string_view program, int unit, std::string_view file, long line,
                            std::string_view what) {
  return TextPlace{program, unit, file, line}.message(what);
}

std::string quoted_token(std::string_view token) {
  std::string text(1, '\'');
  text += printable(token.substr(0, max_token_shown));
  if (token.size() > max_token_shown) text += "...";
  text += '\'';
  return text;
}

std::string caret_excerpt(std::string_view line, std::size_t column) {
  constexpr std::size_t before = 60;
  constexpr std::size_t after = 60;
  std::size_t first = column > before ? column - before : 0;
  std::size_t last = std::min(line.size(), column + after);
  std::string shown = "    ";
  std::string marker = "    ";
  if (first > 0) {
    shown += "...";
    marker += "   ";
  }
  for (std::size_t i = first; i < last; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    // One character per byte keeps the caret under the token: tabs and
    // unprintable bytes are shown as a blank and a '?'.
    char shown_char = c == '\t' ? ' ' : (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    shown.push_back(shown_char);
  }
  if (last < line.size()) shown += "...";
  marker.append(column - first, ' ');
  marker.push_back('^');
  return shown + "\n" + marker;
}

}  // namespace korvane
