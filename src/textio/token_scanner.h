// The one scanner of the tokens of a text record.
//
// Separators are blanks, tabs and commas; a token is a run of anything else. The scanner
// knows no rule about commas: it hands out each comma as a piece of its own, so that each
// reader applies its own rule on top (the group reader takes a comma before the first value,
// or two commas with only blanks between them, for a missing value; the field-file reader
// takes any run of separators for one). It neither allocates nor throws; the views it hands
// out point into the line.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace korvane {

namespace token_bytes {
// 1 a blank (space or tab), 2 a comma, 0 anything else.
inline constexpr std::array<unsigned char, 256> classes = [] {
  std::array<unsigned char, 256> c{};
  c[static_cast<unsigned char>(' ')] = 1;
  c[static_cast<unsigned char>('\t')] = 1;
  c[static_cast<unsigned char>(',')] = 2;
  return c;
}();
}  // namespace token_bytes

inline bool is_blank(char c) { return token_bytes::classes[static_cast<unsigned char>(c)] == 1; }
inline bool is_separator(char c) {
  return token_bytes::classes[static_cast<unsigned char>(c)] != 0;
}

class TokenScanner {
 public:
  enum class Piece { token, comma, line_end };

  explicit TokenScanner(std::string_view line) : line_(line) {}

  // Passes the blanks at the current position and tells what follows: a token (which starts
  // at position(); take() hands it out), a comma (passed over), or the end of the line.
  Piece next() {
    const std::size_t size = line_.size();
    while (pos_ < size && is_blank(line_[pos_])) ++pos_;
    if (pos_ == size) return Piece::line_end;
    if (line_[pos_] == ',') {
      comma_column_ = pos_++;
      return Piece::comma;
    }
    return Piece::token;
  }

  // The token that starts at the current position; the position moves past it.
  std::string_view take() {
    const std::size_t start = pos_;
    while (pos_ < line_.size() && !is_separator(line_[pos_])) ++pos_;
    return line_.substr(start, pos_ - start);
  }

  // The next token, passing over every separator before it; false at the end of the line.
  bool next_token(std::string_view& token) {
    for (;;) {
      switch (next()) {
        case Piece::line_end:
          return false;
        case Piece::comma:
          continue;
        case Piece::token:
          token = take();
          return true;
      }
    }
  }

  // Where the scan stands (a column from 0), and where the last comma handed out stood.
  std::size_t position() const { return pos_; }
  std::size_t comma_column() const { return comma_column_; }
  // For a reader that parses a token where it stands and found its end itself.
  void skip_to(std::size_t column) { pos_ = column; }
  std::string_view line() const { return line_; }

 private:
  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t comma_column_ = 0;
};

// The number of tokens of one line.
inline std::size_t count_tokens(std::string_view line) {
  TokenScanner scanner(line);
  std::size_t count = 0;
  for (std::string_view token; scanner.next_token(token);) ++count;
  return count;
}

}  // namespace korvane
