#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/errors.h"
#include "textio/group_reader.h"
#include "textio/line_reader.h"

namespace korvane {
namespace {

using testing::ScratchDir;
using testing::write_file;

constexpr std::size_t MiB = 1 << 20;

// ---- Tokens ------------------------------------------------------------------------------

double real_of(const std::string& token) {
  double value = -12345.0;
  EXPECT_EQ(parse_real(token, value), TokenStatus::ok) << token;
  return value;
}

TEST(ParseReal, DecimalExponentAndDForms) {
  EXPECT_EQ(real_of("5"), 5.0);
  EXPECT_EQ(real_of("5."), 5.0);
  EXPECT_EQ(real_of(".5"), 0.5);
  EXPECT_EQ(real_of("-.5"), -0.5);
  EXPECT_EQ(real_of("+2.25"), 2.25);
  EXPECT_EQ(real_of("1e5"), 1e5);
  EXPECT_EQ(real_of("1.E+05"), 1e5);
  EXPECT_EQ(real_of("1.5D-3"), 1.5e-3);
  EXPECT_EQ(real_of("-2d2"), -200.0);
  EXPECT_EQ(real_of("+1.0D+0"), 1.0);
  EXPECT_EQ(real_of("0.1"), 0.1);
  EXPECT_EQ(real_of("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(real_of("0e999999999999999999999"), 0.0);
  const double negative_zero = real_of("-0");
  EXPECT_EQ(negative_zero, 0.0);
  EXPECT_TRUE(std::signbit(negative_zero));
  // A long D-exponent token (longer than the parser's local copy).
  EXPECT_EQ(real_of("1." + std::string(200, '0') + "D1"), 10.0);
}

// std::from_chars on this GCC calls a value that rounds to zero out of range (and reads a
// subnormal fine); Fortran reads both as the nearest double.
TEST(ParseReal, TinyValuesReadAsNearestDouble) {
  EXPECT_EQ(real_of("1e-400"), 0.0);
  EXPECT_TRUE(std::signbit(real_of("-1e-400")));
  EXPECT_EQ(real_of("1D-400"), 0.0);
  EXPECT_EQ(real_of("2e-324"), 0.0);
  EXPECT_EQ(real_of("3e-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(real_of("4.9e-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(real_of("2.5e-320"), std::strtod("2.5e-320", nullptr));
  EXPECT_EQ(real_of("1e-99999999999999999999"), 0.0);
}

TEST(ParseReal, Rejects) {
  for (const char* token : {"", ".", "+", "-", "1.0E", "1e+", "1d", "e5", "D5", "NaN", "nan",
                            "Inf", "-inf", "Infinity", "3*0", "3*", "/", "1/", "1.0+5", "0x10",
                            "1..2", "1.2.3", "1e5.0", "--1", "+-1", "1q5", "1e5x", "1 2",
                            "1\r", "\xef\xbb\xbf" "1"}) {
    double value = 0;
    EXPECT_EQ(parse_real(token, value), TokenStatus::not_a_number) << token;
  }
  double value = 0;
  EXPECT_EQ(parse_real(std::string_view("1\0", 2), value), TokenStatus::not_a_number);
  for (const char* token : {"1e400", "-1e400", "1.8e308", "1D309", "1e99999999999999999999"}) {
    EXPECT_EQ(parse_real(token, value), TokenStatus::out_of_range) << token;
  }
}

TEST(ParseInteger, SignAndDigitsWithin32Bits) {
  std::int32_t value = 0;
  EXPECT_EQ(parse_integer("-99", value), TokenStatus::ok);
  EXPECT_EQ(value, -99);
  EXPECT_EQ(parse_integer("+7", value), TokenStatus::ok);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(parse_integer("007", value), TokenStatus::ok);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(parse_integer("2147483647", value), TokenStatus::ok);
  EXPECT_EQ(value, 2147483647);
  EXPECT_EQ(parse_integer("-2147483648", value), TokenStatus::ok);
  EXPECT_EQ(value, std::numeric_limits<std::int32_t>::min());
  for (const char* token : {"2147483648", "-2147483649", "99999999999999999999"}) {
    EXPECT_EQ(parse_integer(token, value), TokenStatus::out_of_range) << token;
  }
  for (const char* token : {"4.5", "5.", ".5", "1e3", "1d0", "", "+", "-", "0x1", "+-1", " 1",
                            "1 ", "3*0", "/", "NaN"}) {
    EXPECT_EQ(parse_integer(token, value), TokenStatus::not_a_number) << token;
  }
}

// ---- Lines ----------------------------------------------------------------------------------

std::vector<std::string> all_lines(const std::string& bytes) {
  ScratchDir dir;
  write_file(dir / "f.txt", bytes);
  LineReader reader("korvane", 3, (dir / "f.txt").string());
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.emplace_back(line);
    EXPECT_EQ(reader.line_number(), static_cast<long>(lines.size()));
  }
  EXPECT_FALSE(reader.next(line));  // stays at the end
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, LineEndsAndTheTrailingCR) {
  EXPECT_EQ(all_lines("a\r\nb\nc\r"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(all_lines("a\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(all_lines("\n\r\n\n"), (Lines{"", "", ""}));
  EXPECT_EQ(all_lines("x\ry\n"), (Lines{"x\ry"}));
  EXPECT_EQ(all_lines(""), Lines{});
  EXPECT_EQ(all_lines(std::string("1\0 2\n", 5)), (Lines{std::string("1\0 2", 4)}));
}

TEST(LineReader, BlocksAndLinesLargerThanTheBuffer) {
  // A CR LF split across the first block boundary, a line of 2.5 MiB, and a last line
  // longer than the buffer without a final line feed, ending in CR.
  std::string first(MiB - 1, 'a');
  std::string bytes = first + "\r\n" + std::string(5 * MiB / 2, 'b') + "\nshort\r\n" +
                      std::string(MiB + 3, 'c') + "\r";
  const Lines lines = all_lines(bytes);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], std::string(5 * MiB / 2, 'b'));
  EXPECT_EQ(lines[2], "short");
  EXPECT_EQ(lines[3], std::string(MiB + 3, 'c'));
}

std::string open_error(const std::string& name) {
  try {
    LineReader reader("korvane", 2, name);
  } catch (const IoError& error) {
    return error.what();
  }
  return "no error";
}

TEST(LineReader, FilesThatCannotBeRead) {
  ScratchDir dir;
  const std::string missing = (dir / "missing.txt").string();
  EXPECT_EQ(open_error(missing).rfind("korvane: unit 2, file '" + missing + "': ", 0), 0u)
      << open_error(missing);
  EXPECT_EQ(open_error(dir.path().string()).rfind("korvane: unit 2, file '", 0), 0u);
  write_file(dir / "tab", "1 2 3\n");
  const std::string with_nul = (dir / "tab").string() + std::string("\0le.txt", 7);
  const std::string text = open_error(with_nul);
  EXPECT_NE(text.find("tab\\x00le.txt'"), std::string::npos) << text;
  EXPECT_NE(text.find("NUL"), std::string::npos) << text;
}

// ---- Groups -------------------------------------------------------------------------------

// A file of the given bytes, read by group reads on unit 4.
struct GroupFile {
  explicit GroupFile(const std::string& bytes) {
    write_file(dir / "g.txt", bytes);
    reader = std::make_unique<GroupReader>("korvane", 4, (dir / "g.txt").string());
  }
  std::vector<std::int32_t> ints(int n) {
    std::vector<std::int32_t> v(static_cast<std::size_t>(n));
    reader->read_integers(v.data(), n, "a group");
    return v;
  }
  std::vector<double> reals(int n) {
    std::vector<double> v(static_cast<std::size_t>(n));
    reader->read_reals(v.data(), n, "a group");
    return v;
  }
  std::string name() const { return (dir / "g.txt").string(); }
  ScratchDir dir;
  std::unique_ptr<GroupReader> reader;
};

using Ints = std::vector<std::int32_t>;
using Reals = std::vector<double>;

TEST(GroupReader, ContinuationAndTheRestOfTheRecordIgnored) {
  GroupFile f("1,2\n3 word 4\n5 6 7 comment\n\n  8\n");
  EXPECT_EQ(f.ints(3), (Ints{1, 2, 3}));  // the word after the group's last value is ignored
  EXPECT_EQ(f.ints(2), (Ints{5, 6}));     // starts on the next record, not after 3
  EXPECT_EQ(f.ints(1), (Ints{8}));        // empty records are passed over
  EXPECT_EQ(f.reader->line_number(), 5);
}

TEST(GroupReader, SeparatorsBlanksTabsCommas) {
  GroupFile f("1\t2 , 3,4\t,\t5 ,6\n\t 7 \r\n1,\n2\n1\n,2\n");
  EXPECT_EQ(f.ints(6), (Ints{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(f.ints(1), (Ints{7}));  // CR LF
  EXPECT_EQ(f.ints(2), (Ints{1, 2}));  // a comma ending a record
  EXPECT_EQ(f.ints(2), (Ints{1, 2}));  // line end then comma: one separator
}

TEST(GroupReader, RealsInEveryForm) {
  GroupFile f(".5 5. 5 -1.5D-3 2e1 1e-400\r\n7\r");
  const Reals v = f.reals(6);
  EXPECT_EQ(v, (Reals{0.5, 5.0, 5.0, -1.5e-3, 20.0, 0.0}));
  EXPECT_EQ(f.reals(1), (Reals{7.0}));  // the last record has no line feed
}

std::string group_error(const std::string& bytes, bool integers, int n) {
  GroupFile f(bytes);
  try {
    if (integers) {
      f.ints(n);
    } else {
      f.reals(n);
    }
  } catch (const IoError& error) {
    std::string text = error.what();
    const std::string name = f.name();
    for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
      text.replace(at, name.size(), "NAME");
    }
    return text;
  }
  return "no error";
}

TEST(GroupReader, BadValueMessageShowsLineAndCaret) {
  EXPECT_EQ(group_error("1 2\n3 x 4\n", true, 4),
            "korvane: unit 4, file 'NAME', line 2: 'x' is not an integer (reading a group)\n"
            "    3 x 4\n"
            "      ^");
  EXPECT_EQ(group_error("4.5\n", true, 1),
            "korvane: unit 4, file 'NAME', line 1: '4.5' is not an integer (reading a group)\n"
            "    4.5\n"
            "    ^");
  // Tabs are shown as blanks, so the caret stays under the token.
  EXPECT_EQ(group_error("\t1\t O.25\r\n", false, 2),
            "korvane: unit 4, file 'NAME', line 1: 'O.25' is not a real number (reading a "
            "group)\n"
            "     1  O.25\n"
            "        ^");
  EXPECT_EQ(group_error("1e400\n", false, 1),
            "korvane: unit 4, file 'NAME', line 1: '1e400' is too large for a double (reading a "
            "group)\n"
            "    1e400\n"
            "    ^");
  EXPECT_EQ(group_error("1\n2147483648\n", true, 2),
            "korvane: unit 4, file 'NAME', line 2: '2147483648' is outside the range of a "
            "32-bit integer (reading a group)\n"
            "    2147483648\n"
            "    ^");
}

TEST(GroupReader, MisplacedCommasAndOtherInputErrors) {
  const auto caret_line = [](const std::string& text) { return text.substr(text.rfind('\n') + 1); };
  const std::string leading = group_error(" , 1 2\n", true, 2);
  EXPECT_NE(leading.find("line 1: a value is missing before this comma"), std::string::npos)
      << leading;
  EXPECT_EQ(caret_line(leading), "     ^");
  EXPECT_EQ(caret_line(group_error("1,,2\n", true, 3)), "      ^");
  EXPECT_EQ(caret_line(group_error("1, ,2\n", true, 3)), "       ^");
  EXPECT_NE(group_error("1,\n,2\n", true, 2).find("line 2: a value is missing"),
            std::string::npos);
  for (const char* bad : {"3*0\n", "1 / 2\n", "NaN 1\n", "Inf 1\n", "1.0E 1\n", "1 2/\n"}) {
    const std::string text = group_error(bad, false, 2);
    EXPECT_NE(text.find("is not a real number"), std::string::npos) << bad << text;
  }
  // A NUL byte: shown escaped in the message, as '?' in the excerpt.
  const std::string nul = group_error(std::string("7 \0 8\n", 6), true, 2);
  EXPECT_NE(nul.find("'\\x00' is not an integer"), std::string::npos) << nul;
  EXPECT_NE(nul.find("\n    7 ? 8\n      ^"), std::string::npos) << nul;
}

TEST(GroupReader, CaretUnderATokenFarIntoALongLine) {
  const std::string line = std::string(300, ' ') + "1 2 3 bad 5";
  const std::string text = group_error(line + "\n", false, 5);
  const std::size_t shown_at = text.find('\n') + 1;
  const std::size_t marker_at = text.find('\n', shown_at) + 1;
  const std::string shown = text.substr(shown_at, marker_at - 1 - shown_at);
  const std::string marker = text.substr(marker_at);
  ASSERT_EQ(marker.back(), '^');
  EXPECT_EQ(shown.substr(marker.size() - 1, 3), "bad") << shown << "\n" << marker;
  EXPECT_LT(shown.size(), 140u);
}

TEST(GroupReader, EndOfFileBeforeTheGroupIsComplete) {
  EXPECT_EQ(group_error("1\n2\n", true, 3),
            "korvane: unit 4, file 'NAME': end of file after line 2 while reading a group (2 of "
            "3 values found)");
  EXPECT_EQ(group_error("", false, 1),
            "korvane: unit 4, file 'NAME': end of file while reading a group");
  GroupFile f("1 2\n");
  EXPECT_EQ(f.ints(2), (Ints{1, 2}));
  EXPECT_THROW(f.ints(1), IoError);
}

TEST(GroupReader, TextRecordsAndSkips) {
  GroupFile f("title\r\n\r\n  name with blanks  \r\n");
  f.reader->skip_record("record 1");
  f.reader->skip_record("record 2");
  EXPECT_EQ(f.reader->read_text_record("record 3"), "  name with blanks  ");
  std::string_view text;
  EXPECT_FALSE(f.reader->try_read_text_record(text));
  EXPECT_THROW(f.reader->skip_record("record 4"), IoError);
  EXPECT_THROW(f.reader->read_text_record("record 4"), IoError);
}

TEST(GroupReader, GroupsAcrossBlocksAndInsideAHugeLine) {
  std::string bytes;
  long expected_sum = 0;
  const int records = 150000;  // about 3 MiB
  for (int n = 0; n < records; ++n) {
    bytes += std::to_string(n) + ", " + std::to_string(n % 7) + "  comment text here\r\n";
    expected_sum += n + n % 7;
  }
  bytes += "1 2" + std::string(3 * MiB, ' ') + "3 tail\n4\n";
  GroupFile f(bytes);
  long sum = 0;
  for (int n = 0; n < records; ++n) {
    const Ints v = f.ints(2);
    sum += v[0] + v[1];
  }
  EXPECT_EQ(sum, expected_sum);
  EXPECT_EQ(f.reader->line_number(), records);
  EXPECT_EQ(f.reals(3), (Reals{1, 2, 3}));
  EXPECT_EQ(f.ints(1), (Ints{4}));
  EXPECT_EQ(f.reader->line_number(), records + 2);
}

// ---- A group from a text variable ----------------------------------------------------

TEST(ReadRealsFromText, EndOfInputIsReportedNotThrown) {
  double v[9] = {};
  GroupFault fault;
  EXPECT_EQ(read_reals_from_text("1 2 3 4 5 6", v, 9, fault), GroupStatus::end_of_input);
  EXPECT_EQ(fault.found, 6);
  EXPECT_EQ(v[5], 6.0);
  EXPECT_EQ(read_reals_from_text(std::string(132, ' '), v, 3, fault), GroupStatus::end_of_input);
  EXPECT_EQ(fault.found, 0);
  EXPECT_EQ(read_reals_from_text("1,2,3 4 5 6 7 8 9 10 text", v, 9, fault),
            GroupStatus::complete);
  EXPECT_EQ(v[8], 9.0);
  EXPECT_EQ(read_reals_from_text("1 2 x", v, 3, fault), GroupStatus::bad_value);
  EXPECT_EQ(fault.found, 2);
  EXPECT_EQ(fault.column, 4u);
  EXPECT_EQ(fault.token, "x");
  EXPECT_EQ(describe_bad_value(fault), "'x' is not a real number");
  EXPECT_EQ(read_reals_from_text(",1", v, 1, fault), GroupStatus::bad_value);
  EXPECT_EQ(fault.column, 0u);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(LineReaderLimit, EndlessLineIsAnErrorNotAnExhaustedMemory) {
  LineReader lines("korvane", 2, "/dev/zero");
  std::string_view line;
  try {
    lines.next(line);
    FAIL() << "a line without end was accepted";
  } catch (const IoError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("korvane: unit 2, file '/dev/zero', line 1: ", 0),
              0u)
        << error.what();
  }
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// Regular files are read through a window mapped in 16 MiB pieces: lines that cross a
// window's end, a line longer than a window, and a last line without a line feed must come
// out whole, exactly as written.
TEST(MappedWindows, LinesAcrossAndLongerThanAWindowComeOutWhole) {
  testing::ScratchDir dir;
  std::string text;
  std::vector<std::string> expected;
  for (int n = 0; text.size() < (std::size_t{18} << 20); ++n) {
    std::string line = std::to_string(n) + std::string(static_cast<std::size_t>(n % 997), 'a');
    expected.push_back(line);
    text += line + (n % 3 == 0 ? "\r\n" : "\n");
  }
  expected.push_back(std::string((std::size_t{20} << 20) + 5, 'b'));
  text += expected.back() + "\n";
  expected.push_back("last line without a line feed");
  text += expected.back() + "\r";
  testing::write_file(dir / "windows.txt", text);

  LineReader lines("korvane", 2, (dir / "windows.txt").string());
  std::string_view line;
  std::size_t n = 0;
  while (lines.next(line)) {
    ASSERT_LT(n, expected.size());
    ASSERT_TRUE(line == expected[n]) << "line " << n + 1;
    ++n;
  }
  EXPECT_EQ(n, expected.size());
  EXPECT_EQ(lines.line_number(), static_cast<long>(expected.size()));
}

}  // namespace
}  // namespace korvane
