#include "textio/group_reader.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "textio/errors.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Clinger's fast path for the usual token: a decimal of at most max_digits significant
// digits whose value is w * 10^e with w <= max_exact_mantissa and |e| <= max_exact_pow10 is
// rounded correctly by a single multiplication or division of two exactly representable
// doubles.
constexpr int max_digits = 19;  // any 19 decimal digits fit in 64 bits
constexpr std::uint64_t max_exact_mantissa = std::uint64_t{1} << 53;
constexpr int max_exact_pow10 = 22;  // 10^22 is the largest power of ten a double holds exactly

// Parses the number that starts at p and returns where it stops, or nullptr when it
// declines; whatever it declines goes to the full parser, which also reports errors.
const char* parse_short_decimal(const char* p, const char* const end, double& value) {
  static constexpr double powers[max_exact_pow10 + 1] = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  std::uint64_t w = 0;
  int significant = 0;
  int exponent = 0;
  const char* const digits_start = p;
  while (p != end && *p == '0') ++p;  // leading zeros are not significant
  for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) {
    w = w * 10 + d;
    ++significant;
  }
  bool any_digit = p != digits_start;
  if (p != end && *p == '.') {
    const char* const fraction_start = ++p;
    if (w == 0) {
      while (p != end && *p == '0') ++p;
    }
    const char* const significant_start = p;
    for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) {
      w = w * 10 + d;
    }
    significant += static_cast<int>(p - significant_start);
    exponent -= static_cast<int>(p - fraction_start);
    any_digit = any_digit || p != fraction_start;
  }
  if (significant > max_digits) return nullptr;
  if (!any_digit) return nullptr;
  if (p != end && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')) {
    ++p;
    bool negative_exponent = false;
    if (p != end && (*p == '-' || *p == '+')) negative_exponent = *p++ == '-';
    const char* const exponent_start = p;
    int e = 0;
    for (; p != end && is_digit(*p); ++p) {
      if (p - exponent_start == 4) return nullptr;
      e = e * 10 + (*p - '0');
    }
    if (p == exponent_start) return nullptr;
    exponent += negative_exponent ? -e : e;
  }
  if (w == 0) {
    value = negative ? -0.0 : 0.0;
    return p;
  }
  if (w > max_exact_mantissa || exponent < -max_exact_pow10 || exponent > max_exact_pow10) {
    return nullptr;
  }
  const double magnitude = exponent >= 0 ? static_cast<double>(w) * powers[exponent]
                                         : static_cast<double>(w) / powers[-exponent];
  value = negative ? -magnitude : magnitude;
  return p;
}

TokenStatus parse_value(std::string_view token, double& value) { return parse_real(token, value); }
TokenStatus parse_value(std::string_view token, std::int32_t& value) {
  return parse_integer(token, value);
}

// Reads n values from the records that `next_line` hands out, one after another.
template <class T, class NextLine>
GroupStatus read_group(NextLine&& next_line, T* values, int n, GroupFault& fault) {
  // A comma may follow a value; a comma before the first value, or a second comma with only
  // blanks since the last one, stands for a missing value.
  bool had_value = false;
  bool after_comma = false;
  std::string_view line;
  int found = 0;
  fault.wanted_integer = std::is_integral_v<T>;
  if (!next_line(line)) {
    fault.status = GroupStatus::end_of_input;
    fault.found = 0;
    return fault.status;
  }
  TokenScanner scan(line);
  while (found < n) {
    switch (scan.next()) {
      case TokenScanner::Piece::line_end:
        if (!next_line(line)) {
          fault.status = GroupStatus::end_of_input;
          fault.found = found;
          return fault.status;
        }
        scan = TokenScanner(line);
        continue;
      case TokenScanner::Piece::comma:
        if (had_value && !after_comma) {
          after_comma = true;
          continue;
        }
        fault.status = GroupStatus::bad_value;
        fault.found = found;
        fault.line = line;
        fault.column = scan.comma_column();
        fault.token = line.substr(fault.column, 1);
        fault.token_status = TokenStatus::not_a_number;
        return fault.status;
      case TokenScanner::Piece::token:
        break;
    }
    had_value = true;
    after_comma = false;
    if constexpr (std::is_same_v<T, double>) {
      // The usual real is parsed where it stands, in the same pass that finds its end.
      const char* const end = line.data() + line.size();
      const char* stop = parse_short_decimal(line.data() + scan.position(), end, values[found]);
      if (stop != nullptr && (stop == end || is_separator(*stop))) {
        scan.skip_to(static_cast<std::size_t>(stop - line.data()));
        ++found;
        continue;
      }
    }
    const std::string_view token = scan.take();
    TokenStatus status = parse_value(token, values[found]);
    if (status != TokenStatus::ok) {
      fault.status = GroupStatus::bad_value;
      fault.found = found;
      fault.line = line;
      fault.column = static_cast<std::size_t>(token.data() - line.data());
      fault.token = token;
      fault.token_status = status;
      return fault.status;
    }
    ++found;
  }
  fault.status = GroupStatus::complete;
  fault.found = found;
  return fault.status;
}


}  // namespace

TokenStatus parse_real(std::string_view token, double& value) {
  const std::size_t size = token.size();
  const char* const token_end = token.data() + size;
  if (parse_short_decimal(token.data(), token_end, value) == token_end) return TokenStatus::ok;
  std::size_t i = 0;
  const bool plus = size > 0 && token[0] == '+';
  if (size > 0 && (token[0] == '+' || token[0] == '-')) ++i;
  std::size_t digits = 0;
  while (i < size && is_digit(token[i])) ++i, ++digits;
  if (i < size && token[i] == '.') {
    ++i;
    while (i < size && is_digit(token[i])) ++i, ++digits;
  }
  if (digits == 0) return TokenStatus::not_a_number;
  std::size_t exponent_letter = size;
  if (i < size) {
    char c = token[i];
    if (c != 'E' && c != 'e' && c != 'D' && c != 'd') return TokenStatus::not_a_number;
    exponent_letter = i++;
    if (i < size && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < size && is_digit(token[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0 || i != size) return TokenStatus::not_a_number;
  }

  // from_chars knows neither a leading plus nor the D exponent: hand it a copy then.
  const bool d_exponent =
      exponent_letter < size && (token[exponent_letter] == 'D' || token[exponent_letter] == 'd');
  const char* first = token.data() + (plus ? 1 : 0);
  const char* last = token.data() + size;
  char local[128];
  if (d_exponent && size <= sizeof local) {
    std::memcpy(local, token.data(), size);
    local[exponent_letter] = 'e';
    first = local + (plus ? 1 : 0);
    last = local + size;
  }
  std::string copy;
  if (d_exponent && size > sizeof local) {
    copy.assign(token);
    copy[exponent_letter] = 'e';
    first = copy.data() + (plus ? 1 : 0);
    last = copy.data() + copy.size();
  }
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc() && result.ptr == last) return TokenStatus::ok;
  if (result.ec != std::errc::result_out_of_range) return TokenStatus::not_a_number;

  // Out of range: an overflow is an error, an underflow reads as the nearest double.
  std::string text(first, last);
  errno = 0;
  double nearest = std::strtod(text.c_str(), nullptr);
  if (std::isinf(nearest)) return TokenStatus::out_of_range;
  value = nearest;
  return TokenStatus::ok;
}

TokenStatus parse_integer(std::string_view token, std::int32_t& value) {
  const std::size_t size = token.size();
  std::size_t i = 0;
  if (size > 0 && (token[0] == '+' || token[0] == '-')) ++i;
  if (i == size) return TokenStatus::not_a_number;
  for (std::size_t k = i; k < size; ++k) {
    if (!is_digit(token[k])) return TokenStatus::not_a_number;
  }
  const char* first = token.data() + (token[0] == '+' ? 1 : 0);
  auto result = std::from_chars(first, token.data() + size, value);
  if (result.ec == std::errc::result_out_of_range) return TokenStatus::out_of_range;
  return TokenStatus::ok;
}

std::string describe_bad_value(const GroupFault& fault) {
  if (fault.token == ",") return "a value is missing before this comma";
  std::string text = quoted_token(fault.token);
  if (fault.token_status == TokenStatus::out_of_range) {
    text += fault.wanted_integer ? " is outside the range of a 32-bit integer"
                                 : " is too large for a double";
  } else {
    text += fault.wanted_integer ? " is not an integer" : " is not a real number";
  }
  return text;
}

void GroupReader::raise(const GroupFault& fault, int needed, std::string_view what) const {
  if (fault.status == GroupStatus::bad_value) {
    const std::string text =
        describe_bad_value(fault) + " (reading " + std::string(what) + ")";
    throw IoError(TextPlace{program(), unit(), name(), fault.line_number}.message(
        text, fault.line, fault.column));
  }
  std::string text = "end of file";
  if (fault.line_number > 0) text += " after line " + std::to_string(fault.line_number);
  text += " while reading " + std::string(what);
  if (needed > 1) {
    text += " (" + std::to_string(fault.found) + " of " + std::to_string(needed) +
            " values found)";
  }
  throw IoError(TextPlace{program(), unit(), name()}.message(text));
}

void GroupReader::skip_record(std::string_view what) { read_text_record(what); }

std::string_view GroupReader::read_text_record(std::string_view what) {
  std::string_view line;
  if (!lines_.next(line)) {
    GroupFault fault;
    fault.status = GroupStatus::end_of_input;
    fault.line_number = lines_.line_number();
    raise(fault, 0, what);
  }
  return line;
}

bool GroupReader::try_read_text_record(std::string_view& text) { return lines_.next(text); }

GroupStatus GroupReader::try_read_reals(double* values, int n, GroupFault& fault) {
  auto next_line = [this](std::string_view& line) { return lines_.next(line); };
  GroupStatus status = read_group(next_line, values, n, fault);
  fault.line_number = lines_.line_number();
  return status;
}

void GroupReader::read_reals(double* values, int n, std::string_view what) {
  GroupFault fault;
  if (try_read_reals(values, n, fault) != GroupStatus::complete) raise(fault, n, what);
}

void GroupReader::read_integers(std::int32_t* values, int n, std::string_view what) {
  GroupFault fault;
  auto next_line = [this](std::string_view& line) { return lines_.next(line); };
  GroupStatus status = read_group(next_line, values, n, fault);
  fault.line_number = lines_.line_number();
  if (status != GroupStatus::complete) raise(fault, n, what);
}

GroupStatus read_reals_from_text(std::string_view text, double* values, int n,
                                 GroupFault& fault) {
  bool given = false;
  auto next_line = [&](std::string_view& line) {
    if (given) return false;
    given = true;
    line = text;
    return true;
  };
  GroupStatus status = read_group(next_line, values, n, fault);
  fault.line_number = 1;
  return status;
}

}  // namespace korvane
