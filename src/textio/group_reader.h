// Reading of list-directed groups of numbers and of text records.
//
// A group read takes exactly the number of values it names. It starts at the beginning of
// the next record, goes on into the following records while values are missing, and ignores
// whatever follows its last value on that record. Values are separated by blanks, tabs or
// commas (a comma with blanks around it is one separator; a line end counts as a blank).
// A real is an optional sign, digits with an optional decimal point and an optional exponent
// introduced by E, e, D or d; an integer is an optional sign and digits within 32-bit range.
// Everything else where a number is needed is an input error: a comma before the first value
// or between two commas, repeat counts, slashes, NaN or Inf, a value too large for a double.
// A value too small for a double reads as the nearest double (zero or a subnormal).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "textio/line_reader.h"

namespace korvane {

enum class TokenStatus { ok, not_a_number, out_of_range };

// Parse one whole token. They do not allocate (but for the rare token that under- or
// overflows a double) and do not throw.
TokenStatus parse_real(std::string_view token, double& value);
TokenStatus parse_integer(std::string_view token, std::int32_t& value);

enum class GroupStatus { complete, end_of_input, bad_value };

// Where and why a group read stopped short; the views point into the reader's buffer and
// stay valid until its next read.
struct GroupFault {
  GroupStatus status = GroupStatus::complete;
  int found = 0;                 // values taken before the stop
  long line_number = 0;          // line of the bad value, or the last line read at the end
  std::string_view line;         // that line's text (bad value only)
  std::size_t column = 0;        // where the bad value starts
  std::string_view token;        // the bad value ("," for a misplaced comma)
  TokenStatus token_status = TokenStatus::ok;
  bool wanted_integer = false;
};

// Reads groups and text records from a file opened as a numbered unit.
class GroupReader {
 public:
  // Opens the file; throws IoError (unit, file) when it cannot be opened. Its messages
  // speak for `program` (see TextPlace).
  GroupReader(std::string_view program, int unit, std::string name)
      : lines_(program, unit, std::move(name)) {}

  // Passes over the next record, whatever it holds; the end of the file is an IoError.
  void skip_record(std::string_view what);
  // The next record as it stands (without its line end); the end of the file is an IoError.
  std::string_view read_text_record(std::string_view what);
  // The same, but false at the end of the file.
  bool try_read_text_record(std::string_view& text);

  // One group of n values; an unreadable value or the end of the file throws IoError,
  // whose message names `what` (the variables being read).
  void read_reals(double* values, int n, std::string_view what);
  void read_integers(std::int32_t* values, int n, std::string_view what);

  // One group of n reals without throwing: complete, end_of_input or bad_value, with the
  // details in fault. Values before the stop are already stored.
  GroupStatus try_read_reals(double* values, int n, GroupFault& fault);

  // The IoError for a group that stopped short, naming `what`.
  [[noreturn]] void raise(const GroupFault& fault, int needed, std::string_view what) const;

  // Goes on from byte `offset`, the start of line `line_number` + 1 (see LineReader).
  void resume_at(unsigned long long offset, long line_number) {
    lines_.resume_at(offset, line_number);
  }

  long line_number() const { return lines_.line_number(); }
  std::string_view program() const { return lines_.program(); }
  int unit() const { return lines_.unit(); }
  const std::string& name() const { return lines_.name(); }

 private:
  LineReader lines_;
};

// Reads a group of n reals from one text held in memory, as if it were the only record:
// running out of values is end_of_input (fault.found tells how many were taken).
GroupStatus read_reals_from_text(std::string_view text, double* values, int n,
                                 GroupFault& fault);

// The explanation of a bad value, for messages: "'O.25' is not a real number".
std::string describe_bad_value(const GroupFault& fault);

}  // namespace korvane
