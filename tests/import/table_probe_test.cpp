#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "import/table_import.h"
#include "support/test_support.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane {
namespace {

using testing::ScratchDir;

// `token` placed so that it starts at character `column` (from 1) of the record.
std::string at_column(const std::string& before, int column, const std::string& token,
                      const std::string& after = "") {
  std::string text = before;
  text.resize(static_cast<std::size_t>(column - 1), ' ');
  return text + token + after;
}

struct ProbeCase {
  std::string name;
  std::string table;  // the whole table file; only its first record matters
  int ireim;          // the first 9, 6 or no values logged are 1, 2, ... 9
};

void PrintTo(const ProbeCase& c, std::ostream* out) { *out << c.name; }

std::vector<ProbeCase> probe_cases() {
  const std::string eight = "1 2 3 4 5 6 7 8";
  return {
      {"NineValues", "1 2 3 4 5 6 7 8 9\n", 1},
      {"TenValuesRestIgnored", "1 2 3 4 5 6 7 8 9 10\n", 1},
      {"CommaSeparators", "1,2, 3 ,4,5,6,7,8,9\n", 1},
      {"DExponentsAndOtherForms", "1.0D0 2d0 3E0 .4e1 +5 6. 0.7D+1 80d-1 9\n", 1},
      {"CrLfLineEnd", "1 2 3 4 5 6 7 8 9\r\n10 11 12\r\n", 1},
      {"TrailingCommentAfterNine", "1 2 3 4 5 6 7 8 9 ! Ex Ey Ez re/im\n", 1},
      {"NoFinalLineFeed", "1 2 3 4 5 6 7 8 9", 1},
      {"SixValues", "1 2 3 4 5 6\n7 8 9\n", 2},
      {"EightValues", "1 2 3 4 5 6 7 8\n", 2},
      {"SixValuesCrLf", "1\t2 3 4 5 6\r\n", 2},
      {"FiveValues", "1 2 3 4 5\n6 7 8 9\n", 3},
      {"ThreeValues", "1 2 3\n", 3},
      {"EmptyFirstRecord", "\n1 2 3 4 5 6 7 8 9\n", 3},
      {"BlankFirstRecord", "   \r\n1 2 3 4 5 6 7 8 9\n", 3},
      // Records wider than 132 characters are judged by their first 132 only.
      {"NinthValueBeyondTheLimit", at_column(eight, 133, "9") + "\n", 2},
      {"NinthValueEndingAtTheLimit", at_column(eight, 132, "9", " 10") + "\n", 1},
      {"NinthValueCutByTheLimit", at_column(eight, 127, "9.0000000000") + "\n", 2},
      {"SixthValueCutByTheLimit", at_column("1 2 3 4 5", 129, "6.0000000000", " 7 8 9") + "\n",
       3},
  };
}

class ProbeLayout : public ::testing::TestWithParam<ProbeCase> {
 protected:
  ScratchDir dir;
  StorePtr store = make_store();
  StringSink sink;
  ListWriter log{sink};
  testing::CollectedWarnings warnings;
  RunContext run{"korvane", log, warnings};
};

TEST_P(ProbeLayout, ChoosesLayoutAndLogsTheProbedValues) {
  const ProbeCase& c = GetParam();
  testing::write_file(dir / "table.txt", c.table);
  testing::set_table_name(*store, (dir / "table.txt").string());
  probe_table(*store, run);

  EXPECT_EQ(store->ireim, c.ireim);
  StringSink expected_sink;
  ListWriter expected(expected_sink);
  const int logged = c.ireim == 1 ? 9 : c.ireim == 2 ? 6 : 0;
  if (logged > 0) {
    expected.begin_record();
    for (int n = 1; n <= logged; ++n) expected.real(n);
    expected.end_record();
  }
  expected.record(c.ireim == 1   ? " Reading coordinates, real & imaginary fields ..."
                  : c.ireim == 2 ? " Reading coordinates & real fields only ..."
                                 : " Reading real fields only (no coordinates) ...");
  EXPECT_EQ(sink.text, expected_sink.text);
}

INSTANTIATE_TEST_SUITE_P(Records, ProbeLayout, ::testing::ValuesIn(probe_cases()),
                         [](const auto& info) { return info.param.name; });

class ProbeFailure : public ::testing::Test {
 protected:
  std::string probe_error(const std::string& table) {
    testing::write_file(dir / "table.txt", table);
    testing::set_table_name(*store, (dir / "table.txt").string());
    try {
      probe_table(*store, run);
    } catch (const IoError& error) {
      return error.what();
    }
    ADD_FAILURE() << "no input error";
    return "";
  }
  ScratchDir dir;
  StorePtr store = make_store();
  StringSink sink;
  ListWriter log{sink};
  testing::CollectedWarnings warnings;
  RunContext run{"korvane", log, warnings};
};

TEST_F(ProbeFailure, HeaderRecordIsAnInputErrorNamingUnitFileAndLine) {
  const std::string message = probe_error("x y z Ex Ey Ez\n0 0 0 1 2 3\n");
  EXPECT_NE(message.find("unit 2"), std::string::npos) << message;
  EXPECT_NE(message.find("table.txt"), std::string::npos) << message;
  EXPECT_NE(message.find("line 1"), std::string::npos) << message;
  EXPECT_NE(message.find("\n    x y z Ex Ey Ez\n    ^"), std::string::npos) << message;
  EXPECT_EQ(sink.text, "");
}

TEST_F(ProbeFailure, TextBeforeTheNinthValueIsAnInputErrorNotLayoutTwo) {
  // Only running out of numbers moves the probe on to a smaller layout.
  const std::string message = probe_error("0 0 0 1 2 3 # field in V/m\n");
  EXPECT_NE(message.find("'#'"), std::string::npos) << message;
}

TEST_F(ProbeFailure, EmptyTableFileIsAnEndOfFileError) {
  const std::string message = probe_error("");
  EXPECT_NE(message.find("unit 2"), std::string::npos) << message;
  EXPECT_NE(message.find("end of file"), std::string::npos) << message;
}

TEST_F(ProbeFailure, MissingTableIsAnOpenErrorOnUnitTwo) {
  testing::set_table_name(*store, (dir / "absent.txt").string());
  try {
    probe_table(*store, run);
    FAIL() << "no open error";
  } catch (const IoError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("unit 2"), std::string::npos) << message;
    EXPECT_NE(message.find("absent.txt"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace korvane
