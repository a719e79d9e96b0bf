#include <cstdint>
#include <string>
#include <utility>

#include "fieldfile/field_records.h"
#include "fieldfile/format1_shape.h"
#include "fieldfile/format_readers.h"
#include "fieldfile/record_reader.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

// Formats 1 and 2: list-directed text records, each starting on a new line. Any run of
// separators (blanks, tabs, commas) parts two values: korvane never writes a comma, and a
// file another program wrote with commas reads as it did before.
class TextReader : public RecordReader {
 public:
  TextReader(std::vector<TextLine> lines, std::string_view file, int format, TripleSet triple,
             FieldMap& map)
      : RecordReader(file, format, triple, map), lines_(std::move(lines)) {}

  void begin(std::size_t reals, std::size_t integers) { open(reals + integers); }

  void begin_axis(std::int32_t& count, int) {
    if (axis_ == 0) {
      // Format 1 gives no node counts; they follow from the shape of the file. The walk
      // reaches the x coordinates after the header, so k_s_EH is known.
      check_k_s_EH(lines_[0].number);
      shape_ = find_format1_shape(lines_, line_, map_, file_);
    }
    count = shape_.counts[axis_++];
    open(static_cast<std::size_t>(count));
  }

  void real(double& value) {
    const std::string_view token = next_token();
    if (!read_text_value(token, value)) bad_token(token, "is not a real number");
  }

  void integer(std::int32_t& value) {
    const std::string_view token = next_token();
    const TokenStatus status = parse_integer(token, value);
    if (status == TokenStatus::out_of_range) bad_token(token, "is outside the 32-bit range");
    if (status != TokenStatus::ok) bad_token(token, "is not an integer");
  }

  void count(std::int32_t& value, int capacity) {
    integer(value);
    if (value < 1 || value > capacity) {
      fail(lines_[line_].number, "the node count " + std::to_string(value) + " is outside 1.." +
                                     std::to_string(capacity));
    }
  }

  void end() {
    std::string_view extra;
    if (scan_.next_token(extra)) {
      const std::string_view text = lines_[line_].text;
      fail(lines_[line_].number,
           "more values than the " + std::to_string(expected_) + " of this record\n" +
               caret_excerpt(text, static_cast<std::size_t>(extra.data() - text.data())));
    }
    ++line_;
  }

  int component_arrays(FieldMap&, OutputField* arrays[6]) {
    if (format_ == 2) return take_components_by_ifield(arrays);
    check_k_s_EH(lines_[0].number);
    return take_components(shape_.components, arrays);
  }

  void finish() {
    if (format_ == 1) check_end_marker(lines_[line_ - 1].number);
    if (line_ < lines_.size()) {
      ++record_;
      if (format_ == 1) {
        fail(lines_[line_].number, "text follows the end marker");
      }
      fail(lines_[line_].number, "the file goes on after the Nox*Noy*Noz = " +
                                     std::to_string(output_nodes(map_)) + " node records");
    }
  }

 private:
  // A record starts on a new line.
  void open(std::size_t values) {
    ++record_;
    if (line_ >= lines_.size()) {
      fail(lines_.empty() ? 0 : lines_.back().number, "the file ends where this record is due");
    }
    expected_ = values;
    found_ = 0;
    scan_ = TokenScanner(lines_[line_].text);
  }

  // The record's next value, on this line or a following one.
  std::string_view next_token() {
    for (std::string_view token;;) {
      if (scan_.next_token(token)) {
        ++found_;
        return token;
      }
      if (line_ + 1 >= lines_.size()) {
        fail(lines_[line_].number, "the file ends after " + std::to_string(found_) + " of the " +
                                       std::to_string(expected_) + " values of this record");
      }
      scan_ = TokenScanner(lines_[++line_].text);
    }
  }

  [[noreturn]] void bad_token(std::string_view token, const char* what) const {
    const std::string_view text = lines_[line_].text;
    fail(lines_[line_].number,
         quoted_token(token) + " " + what + "\n" +
             caret_excerpt(text, static_cast<std::size_t>(token.data() - text.data())));
  }

  std::vector<TextLine> lines_;
  std::size_t line_ = 0;  // the line being read
  TokenScanner scan_{std::string_view()};
  std::size_t expected_ = 0;
  std::size_t found_ = 0;
  int axis_ = 0;
  Format1Shape shape_;
};

}  // namespace

void read_text_records(std::vector<TextLine> lines, int format, std::string_view name,
                       TripleSet triple, FieldMap& map) {
  TextReader reader(std::move(lines), name, format, triple, map);
  if (format == 1) {
    walk_format0_1(reader, map);
  } else {
    walk_format2(reader, map);
  }
  reader.finish();
  reader.describe_map();
}

}  // namespace korvane
