// One record of a solver export split into its values, for both passes over the export:
// the number of values is checked against the columns, and each value the tool uses is
// parsed where it stands. A fault is a Refusal located at the file and the line, with the
// line and a caret under the value. Not thread-safe: one splitter a thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "prepare/export_columns.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/token_scanner.h"

namespace korvane::prepare {

// An export saved by a Windows editor may begin with the UTF-8 byte order mark; it is no
// part of the first line's text.
inline std::string_view without_byte_order_mark(std::string_view line, long number) {
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  if (number == 1 && line.substr(0, mark.size()) == mark) line.remove_prefix(mark.size());
  return line;
}

class RecordSplitter {
 public:
  RecordSplitter(std::string file, const ColumnLayout& layout)
      : file_(std::move(file)), values_(static_cast<std::size_t>(layout.values)) {
    tokens_.reserve(values_ + 1);
  }

  // Splits `line` (line number `number`); false for an empty line. A line with another
  // number of values than the columns is refused.
  bool split(std::string_view line, long number) {
    line = without_byte_order_mark(line, number);
    line_ = line;
    number_ = number;
    tokens_.clear();
    TokenScanner scanner(line);
    std::string_view token;
    while (scanner.next_token(token)) {
      if (tokens_.size() == values_) {
        refuse(static_cast<std::size_t>(token.data() - line.data()),
               "the record holds more than the " + std::to_string(values_) + " values of a record");
      }
      tokens_.push_back(token);
    }
    if (tokens_.empty()) return false;
    if (tokens_.size() < values_) {
      refuse(line.size(), "the record holds " + std::to_string(tokens_.size()) + " values, not " +
                              std::to_string(values_) + " (a truncated record?)");
    }
    return true;
  }

  // The line split last.
  std::string_view line() const { return line_; }

  // The text of value `column` of the record split last.
  std::string_view text(int column) const { return tokens_[static_cast<std::size_t>(column)]; }

  // The value of `column`, parsed; text that is not a real number is refused.
  double number(int column) const {
    const std::string_view token = text(column);
    double value;
    const TokenStatus status = parse_real(token, value);
    if (status != TokenStatus::ok) {
      refuse(
          static_cast<std::size_t>(token.data() - line_.data()),
          quoted_token(token) + (status == TokenStatus::out_of_range ? " is too large for a double"
                                                                     : " is not a real number"));
    }
    return value;
  }

 private:
  [[noreturn]] void refuse(std::size_t column, const std::string& what) const {
    throw Refusal(TextPlace{"", 0, file_, number_}.message(what) + "\n" +
                  caret_excerpt(line_, column));
  }

  std::string file_;
  std::size_t values_;
  std::vector<std::string_view> tokens_;
  std::string_view line_;
  long number_ = 0;
};

}  // namespace korvane::prepare
