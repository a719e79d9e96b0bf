// Writer of list-directed records: the one form of every text record the system writes.
//
// A record starts a new line with one blank; items follow with no separator beyond the
// blanks inside their fields (text as it stands, integers in 12 characters, doubles in 24).
// When the next item does not fit in the room left on an 80-character line, the record goes
// on in a new line that again starts with a blank. Lines end in CR LF.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "textio/byte_sink.h"

namespace korvane {

class ListWriter {
 public:
  explicit ListWriter(ByteSink& sink) : sink_(sink) {}

  void begin_record();
  void text(std::string_view item);
  void integer(std::int32_t value);
  void real(double value);
  void end_record();

  // One whole record of text, integer and double items, in order.
  template <class... Items>
  void record(const Items&... items) {
    begin_record();
    (put(items), ...);
    end_record();
  }

 private:
  void put(std::string_view item) { text(item); }
  void put(const char* item) { text(item); }
  void put(std::int32_t value) { integer(value); }
  void put(double value) { real(value); }
  void place(const char* item, int length);

  static constexpr int line_limit = 80;
  ByteSink& sink_;
  int column_ = 0;      // characters on the current line, the leading blank included
  bool line_has_item_ = false;
};

}  // namespace korvane
