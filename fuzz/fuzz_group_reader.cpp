// The text-record reader and the group reader on arbitrary bytes.
//
// The first input byte is a plan: it picks, read after read, a group of reals, a group of
// integers, a text record or a group of reals with a status, and the group sizes. The rest
// is the file, read until its end or its first error. Then every token of the file is
// parsed on its own and checked against strtod/strtoll and an independent grammar, and
// the whole file and its first record are read as a text variable.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "textio/group_reader.h"

namespace {

using namespace korvane;
using korvane::fuzz::require;

void check_fault(const GroupFault& fault, GroupStatus status, int n) {
  require(fault.status == status, "the fault does not carry the status returned");
  require(fault.found >= 0 && fault.found <= n, "more values found than the group has");
  if (status == GroupStatus::complete) require(fault.found == n, "a complete group is short");
  if (status == GroupStatus::bad_value) {
    require(!fault.token.empty(), "a bad value without a token");
    require(fault.token.data() == fault.line.data() + fault.column,
            "the caret column is not where the bad token starts");
    require(fault.column + fault.token.size() <= fault.line.size(),
            "the bad token runs past its line");
    const std::string what = describe_bad_value(fault);
    require(!what.empty() && what.find('\n') == std::string::npos,
            "the explanation of a bad value is not one line");
  }
}

// The number forms the reader accepts, written independently of it.
const std::regex& real_form() {
  static const std::regex form(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([EeDd][+-]?[0-9]+)?)");
  return form;
}
const std::regex& integer_form() {
  static const std::regex form(R"([+-]?[0-9]+)");
  return form;
}

void check_token(std::string_view token) {
  if (token.size() > 400) return;  // keeps the regex cheap; long tokens are read above
  const std::string text(token);

  double real = 0.0;
  const TokenStatus real_status = parse_real(token, real);
  const bool real_ok = std::regex_match(text, real_form());
  if (!real_ok) {
    require(real_status == TokenStatus::not_a_number, "a token outside the real form was read");
  } else {
    std::string c_form = text;
    for (char& ch : c_form) {
      if (ch == 'D' || ch == 'd') ch = 'e';
    }
    errno = 0;
    const double expected = std::strtod(c_form.c_str(), nullptr);
    if (std::isinf(expected)) {
      require(real_status == TokenStatus::out_of_range, "an overflowing real was not refused");
    } else {
      require(real_status == TokenStatus::ok, "a real in the accepted form was refused");
      require(std::memcmp(&real, &expected, sizeof real) == 0,
              "a real reads differently from strtod");
    }
  }

  std::int32_t integer = 0;
  const TokenStatus integer_status = parse_integer(token, integer);
  if (!std::regex_match(text, integer_form())) {
    require(integer_status == TokenStatus::not_a_number,
            "a token outside the integer form was read as an integer");
  } else {
    errno = 0;
    const long long expected = std::strtoll(text.c_str(), nullptr, 10);
    const bool fits = errno == 0 && expected >= INT32_MIN && expected <= INT32_MAX;
    if (fits) {
      require(integer_status == TokenStatus::ok && integer == expected,
              "an integer reads differently from strtoll");
    } else {
      require(integer_status == TokenStatus::out_of_range,
              "an integer out of 32-bit range was not refused");
    }
  }
}

void check_tokens(std::string_view bytes) {
  std::size_t pos = 0;
  int checked = 0;
  while (pos < bytes.size() && checked < 64) {
    const char c = bytes[pos];
    if (c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r') {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < bytes.size() && bytes[end] != ' ' && bytes[end] != '\t' &&
           bytes[end] != ',' && bytes[end] != '\n' && bytes[end] != '\r') {
      ++end;
    }
    check_token(bytes.substr(pos, end - pos));
    ++checked;
    pos = end;
  }
}

void read_file(std::uint8_t plan, const std::string& path) {
  try {
    GroupReader in("korvane", 2, path);
    for (int op = 0;; ++op) {
      const int kind = (plan >> (2 * (op % 4))) & 3;
      const int n = 1 + (op * 5 + plan) % 9;
      if (kind == 0) {
        double values[9];
        in.read_reals(values, n, "fuzzed reals");
      } else if (kind == 1) {
        std::int32_t values[9];
        in.read_integers(values, n, "fuzzed integers");
      } else if (kind == 2) {
        std::string_view record;
        if (!in.try_read_text_record(record)) return;
        require(record.find('\n') == std::string_view::npos, "a record holds a line feed");
      } else {
        double values[9];
        GroupFault fault;
        const GroupStatus status = in.try_read_reals(values, n, fault);
        check_fault(fault, status, n);
        if (status != GroupStatus::complete) return;
      }
    }
  } catch (const IoError& error) {
    require(fuzz::names_unit(error.what(), 2), "an input error does not name unit 2");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t plan = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = (fuzz::scratch() / "records.txt").string();
  fuzz::write_bytes(path, bytes);

  read_file(plan, path);
  check_tokens(bytes);

  // The text variable of the probe: the first record, and the whole input as one record.
  const std::string_view first = bytes.substr(0, bytes.find('\n'));
  for (std::string_view text : {first.substr(0, 132), bytes}) {
    double values[9];
    const int n = 1 + plan % 9;
    GroupFault fault;
    const GroupStatus status = read_reals_from_text(text, values, n, fault);
    check_fault(fault, status, n);
    if (status == GroupStatus::bad_value) {
      const std::string shown = caret_excerpt(text, fault.column);
      require(shown.find('^') != std::string::npos, "the excerpt has no caret");
    }
  }
  return 0;
}
