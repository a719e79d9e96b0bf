// The one failure of the field-file readers: a file that cannot be read, or whose records
// are not those of a field file.
#pragma once

#include <stdexcept>
#include <string_view>

#include "textio/errors.h"

namespace korvane {

// "file 'NAME', record N, line L: what" (", line L" in text files only; no record when the
// file cannot be read at all).
class FieldFileError : public std::runtime_error {
 public:
  FieldFileError(std::string_view file, long record, long line, std::string_view what)
      : std::runtime_error(TextPlace{"", 0, file, line, record}.message(what)),
        record_(record),
        line_(line) {}
  long record() const { return record_; }
  long line() const { return line_; }

 private:
  long record_;
  long line_;
};

}  // namespace korvane
