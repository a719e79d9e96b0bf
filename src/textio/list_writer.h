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
  static constexpr int line_limit = 80;

  explicit ListWriter(ByteSink& sink) : sink_(sink) {}

  void begin_record();
  void text(std::string_view item);
  void integer(std::int32_t value);
  void real(double value);
  void end_record();

  // Where the writer stands in its record. A writer given the place another reached (or
  // would reach) carries on the same record from there, so parts of one long record can
  // be rendered apart and joined, byte for byte as one writer writes them.
  struct Place {
    int column = 0;       // characters on the current line, the leading blank included
    bool line_has_item = false;
  };
  Place place_in_record() const { return {column_, line_has_item_}; }
  void carry_on(Place place) { column_ = place.column, line_has_item_ = place.line_has_item; }
  // The place after begin_record, and the place after an item of `length` characters
  // from `place`; true when that item starts a new line. Writes nothing.
  static Place record_start() { return {1, false}; }
  static bool advance(Place& place, int length) {
    const bool new_line = place.line_has_item && place.column + length > line_limit;
    if (new_line) place.column = 1;
    place.column += length;
    place.line_has_item = true;
    return new_line;
  }

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

  ByteSink& sink_;
  int column_ = 0;      // characters on the current line, the leading blank included
  bool line_has_item_ = false;
};

}  // namespace korvane
