// One record of a solver export split into its values, for both passes over the export:
// the number of values is checked against the columns, and each value the tool uses is
// parsed where it stands. A fault is a Refusal located at the file and the line, with the
// line and a caret under the value. Not thread-safe: one splitter a thread.
//
// Values are separated as the columns say: by blanks, tabs and commas (the solver's text
// export), or by ';' with blanks around them allowed (its variant with '#' before the
// column titles). In the second a ',' inside a value is a decimal comma, which is refused.
#pragma once

#include <algorithm>
#include <cstddef>
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

// The fields of a line separated by ';', each without the blanks around it. An empty field
// after the last ';' is no value (some exports end every line with one). Calls
// field(text, start) for each, `start` being where the field's text begins in the line (or
// where an empty field stands).
template <class Field>
void for_each_semicolon_field(std::string_view line, Field&& field) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(line.find(';', start), line.size());
    std::size_t first = start, last = end;
    while (first < last && is_blank(line[first])) ++first;
    while (last > first && is_blank(line[last - 1])) --last;
    if (end == line.size() && first == last) return;
    field(line.substr(first, last - first), first);
    if (end == line.size()) return;
    start = end + 1;
  }
}

// The number of values of a line (the headerless export's first record).
inline int count_values(std::string_view line, Separator separator) {
  if (separator == Separator::blanks) return static_cast<int>(count_tokens(line));
  int count = 0;
  for_each_semicolon_field(line, [&count](std::string_view, std::size_t) { ++count; });
  return count;
}

class RecordSplitter {
 public:
  RecordSplitter(std::string file, const ColumnLayout& layout)
      : file_(std::move(file)),
        values_(static_cast<std::size_t>(layout.values)),
        separator_(layout.separator) {
    tokens_.reserve(values_ + 1);
  }

  // Splits `line` (line number `number`); false for an empty line. A line with another
  // number of values than the columns is refused, and so is an empty value between two ';'.
  bool split(std::string_view line, long number) {
    line = without_byte_order_mark(line, number);
    line_ = line;
    number_ = number;
    tokens_.clear();
    if (separator_ == Separator::blanks) {
      TokenScanner scanner(line);
      std::string_view token;
      while (scanner.next_token(token)) take(token, token.data() - line.data());
    } else {
      for_each_semicolon_field(line, [this](std::string_view field, std::size_t start) {
        if (field.empty()) refuse(start, "the record holds an empty value between two ';'");
        take(field, static_cast<std::ptrdiff_t>(start));
      });
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
      const auto at = static_cast<std::size_t>(token.data() - line_.data());
      if (separator_ == Separator::semicolons && token.find(',') != std::string_view::npos) {
        refuse(at, quoted_token(token) +
                       " has a decimal comma; korvane-prepare reads numbers with a decimal "
                       "point: export with '.' as the decimal separator");
      }
      refuse(at, quoted_token(token) + (status == TokenStatus::out_of_range
                                            ? " is too large for a double"
                                            : " is not a real number"));
    }
    return value;
  }

 private:
  void take(std::string_view token, std::ptrdiff_t at) {
    if (tokens_.size() == values_) {
      refuse(static_cast<std::size_t>(at),
             "the record holds more than the " + std::to_string(values_) + " values of a record");
    }
    tokens_.push_back(token);
  }

  [[noreturn]] void refuse(std::size_t column, const std::string& what) const {
    throw Refusal(TextPlace{"", 0, file_, number_}.message(what) + "\n" +
                  caret_excerpt(line_, column));
  }

  std::string file_;
  std::size_t values_;
  Separator separator_;
  std::vector<std::string_view> tokens_;
  std::string_view line_;
  long number_ = 0;
};

}  // namespace korvane::prepare
