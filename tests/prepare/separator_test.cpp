// Exports whose values are separated by ';', with '#' before the column titles: prepared as
// the same export separated by blanks is, into the same blank-separated table; a decimal
// comma or an empty value is refused with the line and the value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prepare/cli.h"
#include "support/test_support.h"

namespace korvane::prepare {
namespace {

using testing::ScratchDir;

struct Prepared {
  int status = -1;
  std::string out, err, table, control;
};

Prepared prepare(const std::string& text, const std::vector<std::string>& extra = {}) {
  ScratchDir dir;
  testing::write_file(dir / "export.txt", text);
  std::vector<std::string> args = {"export.txt", "--dir", "case"};
  args.insert(args.end(), extra.begin(), extra.end());
  Prepared p;
  testing::WorkingDir here(dir.path());
  p.status = run_prepare(args, p.out, p.err);
  if (p.status == 0) {
    p.table = testing::read_file(dir / "case/table.txt");
    p.control = testing::read_file(dir / "case/korvane.dat");
  }
  return p;
}

// A whole 3 x 3 x 3 export of E in V/m, coordinates in mm, x fastest, real and imaginary
// parts blocked; `separator` between the values, `titles` before the column titles
// (none without them), `end` at each line's end.
std::string export_text(const std::string& separator, const char* titles, const char* end) {
  const char* names[] = {"x [mm]",     "y [mm]",     "z [mm]",     "ExRe [V/m]", "EyRe [V/m]",
                         "EzRe [V/m]", "ExIm [V/m]", "EyIm [V/m]", "EzIm [V/m]"};
  std::string out;
  if (titles != nullptr) {
    out += titles;
    for (int n = 0; n < 9; ++n) out += (n > 0 ? separator : "") + names[n];
    out += end;
  }
  for (int k = -1; k <= 1; ++k) {
    for (int j = -1; j <= 1; ++j) {
      for (int i = -1; i <= 1; ++i) {
        const std::string values[9] = {std::to_string(i) + ".0", std::to_string(j) + ".0",
                                       std::to_string(k) + ".0", std::to_string(2 + i) + ".5e3",
                                       std::to_string(3 + j) + ".25", "-0.75E+2", "0",
                                       "0", "0"};
        for (int n = 0; n < 9; ++n) out += (n > 0 ? separator : "") + values[n];
        out += end;
      }
    }
  }
  return out;
}

struct Variant {
  const char* name;
  const char* separator;
  const char* titles;
  const char* end;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class Semicolons : public ::testing::TestWithParam<Variant> {};

TEST_P(Semicolons, GiveTheTableAndControlFileOfTheBlankSeparatedExport) {
  const Variant& v = GetParam();
  const bool headerless = v.titles == nullptr;
  const std::vector<std::string> units =
      headerless ? std::vector<std::string>{"--length-unit", "mm", "--field-unit", "V/m"}
                 : std::vector<std::string>{};
  const Prepared blank = prepare(export_text("  ", headerless ? nullptr : "", "\n"), units);
  ASSERT_EQ(blank.status, 0) << blank.err;
  const Prepared listed = prepare(export_text(v.separator, v.titles, v.end), units);
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.table, blank.table);
  EXPECT_EQ(listed.control, blank.control);
  EXPECT_EQ(listed.err, blank.err);
  // The report says how the values were separated, and nothing else differs.
  std::string report = blank.out;
  const std::string layout = headerless ? ", no header" : ", from the header";
  report.replace(report.find(layout), 0, ", separated by ';'");
  EXPECT_EQ(listed.out, report);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, Semicolons,
    ::testing::Values(Variant{"Plain", ";", "#", "\n"},
                      Variant{"BlanksAroundAndCrLf", " ; ", "# ", "\r\n"},
                      Variant{"TrailingSemicolon", ";\t", "#", ";\n"},
                      Variant{"Headerless", "; ", nullptr, "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Semicolons, ADecimalCommaIsRefusedWithTheLineAndTheValue) {
  std::string text = export_text(";", "#", "\n");
  text.replace(text.find("1.5e3"), 5, "1,5e3");
  const Prepared p = prepare(text);
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.err,
            "korvane-prepare: file 'export.txt', line 2: '1,5e3' has a decimal comma; "
            "korvane-prepare reads numbers with a decimal point: export with '.' as the decimal "
            "separator\n"
            "    -1.0;-1.0;-1.0;1,5e3;2.25;-0.75E+2;0;0;0\n"
            "                   ^\n");
  EXPECT_TRUE(p.out.empty());
}

TEST(Semicolons, AnEmptyValueIsRefused) {
  std::string text = export_text(";", "#", "\n");
  text.replace(text.find(";2.25;"), 6, ";;");
  const Prepared p = prepare(text);
  EXPECT_EQ(p.status, 1);
  EXPECT_NE(p.err.find("line 2: the record holds an empty value between two ';'"),
            std::string::npos)
      << p.err;
}

}  // namespace
}  // namespace korvane::prepare
