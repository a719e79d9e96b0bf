#include "textio/list_writer.h"

#include "textio/format.h"

namespace korvane {

void ListWriter::begin_record() {
  sink_.write(" ", 1);
  carry_on(record_start());
}

void ListWriter::place(const char* item, int length) {
  Place place = place_in_record();
  const bool new_line = advance(place, length);
  carry_on(place);
  if (new_line) sink_.write("\r\n ", 3);
  sink_.write(item, static_cast<std::size_t>(length));
}

void ListWriter::text(std::string_view item) {
  place(item.data(), static_cast<int>(item.size()));
}

void ListWriter::integer(std::int32_t value) {
  char field[integer_width];
  format_integer(value, field);
  place(field, integer_width);
}

void ListWriter::real(double value) {
  char field[real_width];
  format_real(value, field);
  place(field, real_width);
}

void ListWriter::end_record() { sink_.write("\r\n", 2); }

}  // namespace korvane
