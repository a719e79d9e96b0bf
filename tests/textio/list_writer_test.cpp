#include "textio/list_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/byte_sink.h"

namespace korvane {
namespace {

const std::string d1 = "   1.00000000000000     ";  // 1.0 in 24 characters
const std::string d2 = "   2.00000000000000     ";
const std::string d3 = "   3.00000000000000     ";
const std::string i7 = "           7";  // 7 in 12 characters

template <class... Items>
std::string record(const Items&... items) {
  StringSink sink;
  ListWriter writer(sink);
  writer.record(items...);
  return sink.text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the text must end with CR LF";
  return lines;
}

// One record each: what the writer is handed, and the lines it makes. A line holds at most
// 80 characters, its leading blank included; an item that would pass them moves to the
// next line, unless it is the first of its line.
struct RecordCase {
  const char* name;
  std::string (*write)();
  std::string lines;
};

void PrintTo(const RecordCase& c, std::ostream* out) { *out << c.name; }

class Records : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Records, LaidOutOnLinesOfAtMost80Characters) {
  EXPECT_EQ(GetParam().write(), GetParam().lines);
}

const std::string x55(55, 'x'), x56(56, 'x'), y100(100, 'y');
const std::string nine_ones = " " + d1 + d1 + d1;  // 73 characters
const std::string six_sevens = " " + i7 + i7 + i7 + i7 + i7 + i7;

INSTANTIATE_TEST_SUITE_P(
    ListWriter, Records,
    ::testing::Values(
        RecordCase{"Mu0RecordOnOneLine",
                   [] { return record(" mu0 = ", 0.012566370614359173, " Gs*m/A "); },
                   "  mu0 =   1.256637061435917E-002 Gs*m/A \r\n"},
        RecordCase{"SeparatorRecord", [] { return record(" ------------------------------ "); },
                   "  ------------------------------ \r\n"},
        RecordCase{"IntegerRecord", [] { return record(-99); }, "          -99\r\n"},
        RecordCase{"NineDoublesOnThreeLines",
                   [] { return record(1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0); },
                   nine_ones + "\r\n" + nine_ones + "\r\n" + nine_ones + "\r\n"},
        RecordCase{"SixIntegersALine", [] { return record(7, 7, 7, 7, 7, 7); },
                   six_sevens + "\r\n"},
        RecordCase{"SeventhIntegerWraps", [] { return record(7, 7, 7, 7, 7, 7, 7); },
                   six_sevens + "\r\n " + i7 + "\r\n"},
        RecordCase{"InputGridRecordSpansTwoLines",
                   [] { return record(" Ximin, Ximax, dXi, Nix = ", 1.0, 2.0, 3.0, 7); },
                   "  Ximin, Ximax, dXi, Nix = " + d1 + d2 + "\r\n " + d3 + i7 + "\r\n"},
        RecordCase{"SummaryRecordMovesTheInteger",
                   [] { return record("d_elm, aper, k_s_EH= ", 1.0, 2.0, 7); },
                   " d_elm, aper, k_s_EH= " + d1 + d2 + "\r\n " + i7 + "\r\n"},
        RecordCase{"TwoDoublesAndAnIntegerFit", [] { return record(1.0, 2.0, 7); },
                   " " + d1 + d2 + i7 + "\r\n"},
        // 1 + 7 + 72 = 80: one line. 1 + 8 + 72 = 81: the third double moves.
        RecordCase{"EightyCharactersFit", [] { return record("1234567", 1.0, 2.0, 3.0); },
                   " 1234567" + d1 + d2 + d3 + "\r\n"},
        RecordCase{"EightyOneDoNot", [] { return record("12345678", 1.0, 2.0, 3.0); },
                   " 12345678" + d1 + d2 + "\r\n " + d3 + "\r\n"},
        // 1 + 56 + 12 = 69 + 12 = 81 for a second integer.
        RecordCase{"SecondIntegerPastEightyMoves", [] { return record(x56, 7, 7); },
                   " " + x56 + i7 + "\r\n " + i7 + "\r\n"},
        RecordCase{"SecondIntegerAtEightyStays", [] { return record(x55, 7, 7); },
                   " " + x55 + i7 + i7 + "\r\n"},
        // 73 + 7 = 80 fits; 73 + 8 = 81 does not.
        RecordCase{"TextThatFitsStays", [] { return record(1.0, 2.0, 3.0, " Gs*m/ "); },
                   " " + d1 + d2 + d3 + " Gs*m/ \r\n"},
        RecordCase{"TextThatDoesNotFitMoves", [] { return record(1.0, 2.0, 3.0, " Gs*m/A "); },
                   " " + d1 + d2 + d3 + "\r\n  Gs*m/A \r\n"},
        RecordCase{"FirstItemLongerThanALineStandsAlone", [] { return record(y100, 7); },
                   " " + y100 + "\r\n " + i7 + "\r\n"},
        RecordCase{"EmptyRecordIsOneBlank",
                   [] {
                     StringSink sink;
                     ListWriter writer(sink);
                     writer.begin_record();
                     writer.end_record();
                     writer.record(7);
                     return sink.text;
                   },
                   " \r\n " + i7 + "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListWriter, RandomRecordsKeepTheLineRules) {
  std::mt19937 rng(7);
  StringSink sink;
  ListWriter writer(sink);
  for (int r = 0; r < 300; ++r) {
    writer.begin_record();
    const int items = static_cast<int>(rng() % 12);
    for (int n = 0; n < items; ++n) {
      switch (rng() % 3) {
        case 0:
          writer.text(std::string(1 + rng() % 30, 'a'));
          break;
        case 1:
          writer.integer(static_cast<std::int32_t>(rng()));
          break;
        default:
          writer.real(static_cast<double>(rng()) * 1e-3);
          break;
      }
    }
    writer.end_record();
  }
  for (const std::string& line : lines_of(sink.text)) {
    ASSERT_LE(line.size(), 80u) << line;
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line[0], ' ') << line;
    ASSERT_EQ(line.find('\r'), std::string::npos);
    ASSERT_EQ(line.find('\n'), std::string::npos);
  }
}

TEST(FileSink, WritesLargeOutputThroughTheBuffer) {
  testing::ScratchDir dir;
  const auto path = dir / "out.txt";
  {
    FileSink sink("korvane", 7, path.string());
    sink.open_truncate();
    ListWriter writer(sink);
    for (int n = 0; n < 60000; ++n) {
      writer.record(static_cast<double>(n), -0.5, n);
    }
    sink.write(std::string(3 << 20, 'z'));  // larger than the buffer
    sink.close();
  }
  const std::string text = testing::read_file(path);
  ASSERT_EQ(text.size(), 60000u * (1 + 24 + 24 + 12 + 2) + (3u << 20));
  EXPECT_EQ(text.substr(0, 63),
            "   0.000000000000000E+000 -0.500000000000000     " + std::string("           0\r\n"));
  EXPECT_EQ(text.substr(text.size() - 3 - (3u << 20), 3), "9\r\n");
}

}  // namespace
}  // namespace korvane
