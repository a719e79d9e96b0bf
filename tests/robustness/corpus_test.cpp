// Malformed inputs, run through the real binary: every one must end with its status and a
// first line of standard error that names the unit, the file and (where a line is at
// fault) the line; the log keeps the records written before the end, and an earlier field
// file is never touched by a run that fails.
//
// The inputs are files under corpus/ (korvane.dat and table.txt of each case); the few
// that would be megabytes are made by the case's `prepare` step instead. A run that fails
// before it logs anything of its own leaves the log's first two records alone, and a bad
// value is shown on its line with a caret under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

const fs::path corpus_dir = fs::path(KORVANE_SOURCE_DIR) / "tests/robustness/corpus";
const std::string earlier_field_file = "an earlier eh_EMS.#07, which a failed run must keep\n";

// Extra set-up after the corpus files are in place.
using Prepare = void (*)(const fs::path& dir);

struct CorpusCase {
  const char* name;
  const char* control;  // corpus file copied as korvane.dat; nullptr: none
  const char* table;    // corpus file copied as table.txt; nullptr: none
  Prepare prepare;
  int status;
  std::vector<std::string> first_line;  // each must be in the first line of stderr
  // A record the log must keep. nullptr: a run that fails leaves the log's first two
  // records alone (and an earlier run's log is gone); a run that ends well is not checked.
  const char* log_holds;
};

void PrintTo(const CorpusCase& c, std::ostream* out) { *out << c.name; }

void make_subfolder(const fs::path& dir) { fs::create_directory(dir / "subfolder"); }
void control_is_folder(const fs::path& dir) { fs::create_directory(dir / "korvane.dat"); }
void earlier_log(const fs::path& dir) { write_file(dir / "korvane.log", "an earlier run's log\n"); }

// A first title record of 3 MB: longer than the reader's block.
void very_long_title(const fs::path& dir) {
  const std::string valid = read_file(dir / "korvane.dat");
  write_file(dir / "korvane.dat", std::string(3 << 20, 'T') + valid.substr(valid.find('\n')));
}

// The first record of the table carries 3 MB of trailing text after its nine values.
void very_long_first_record(const fs::path& dir) {
  const std::string valid = read_file(dir / "table.txt");
  const std::size_t end = valid.find('\n');
  write_file(dir / "table.txt",
             valid.substr(0, end) + " " + std::string(3 << 20, 'c') + valid.substr(end));
}

// 60 nodes along x: more than the input arrays hold.
void table_beyond_capacity(const fs::path& dir) {
  std::string text;
  for (int k = 0; k < 2; ++k) {
    for (int j = 0; j < 2; ++j) {
      for (int i = 0; i < 60; ++i) {
        text += std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(k) +
                " 1 2 3 0 0 0\n";
      }
    }
  }
  write_file(dir / "table.txt", text);
}

const std::string unit1 = "korvane: unit 1, file 'korvane.dat'";
const std::string unit2 = "korvane: unit 2, file 'table.txt'";
constexpr const char* probe_record = " Reading coordinates, real & imaginary fields ...";
constexpr const char* grid_block = " Input Grid parameters ";

std::vector<CorpusCase> corpus_cases() {
  return {
      // The control file.
      {"ControlEmpty", "empty.dat", "valid_3x3x3.tab", nullptr, 2, {unit1, "end of file"}, nullptr},
      {"ControlTitlesOnly", "titles_only.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1, "end of file"}, nullptr},
      {"ControlTruncatedAfterRecord12", "truncated_after_record_12.dat", "valid_3x3x3.tab",
       nullptr, 2,
       {unit1 + ": end of file after line 12 while reading Nox, Noy, Noz (0 of 3 values found)"},
       nullptr},
      {"ControlTextForInteger", "text_for_ifield.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 4:", "'electric'"}, nullptr},
      {"ControlFractionForInteger", "fraction_for_nfile.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 6:", "'7.5'"}, nullptr},
      {"ControlFractionForCount", "fraction_for_count.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 13:", "'3.0'"}, nullptr},
      {"ControlCommaBeforeFirstValue", "comma_before_value.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 5:"}, nullptr},
      {"ControlRepeatCount", "repeat_count.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 5:", "'3*0'"}, nullptr},
      {"ControlRealTooLarge", "real_too_large.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 9:", "'1e400'"}, nullptr},
      {"ControlLetterOForZero", "letter_o_for_aper.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 10: '1.O' is not a real number (reading aper)"}, nullptr},
      {"ControlExponentWithoutDigits", "exponent_without_digits.dat", "valid_3x3x3.tab",
       nullptr, 2, {unit1 + ", line 10:", "'1.0E'"}, nullptr},
      {"ControlCountBeyond32Bits", "count_beyond_32_bits.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 13:", "'99999999999'"}, nullptr},
      {"ControlNulInNumber", "nul_in_number.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 4:"}, nullptr},
      {"ControlBinaryGarbage", "binary_garbage.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1 + ", line 4:"}, nullptr},
      {"ControlVeryLongTitle", "valid.dat", "valid_3x3x3.tab", very_long_title, 0, {}, nullptr},
      {"ControlCrLf", "crlf.dat", "valid_3x3x3.tab", nullptr, 0, {}, nullptr},
      // Old Mac line ends: the whole file is one record.
      {"ControlCrOnlyLineEnds", "cr_only.dat", "valid_3x3x3.tab", nullptr, 2,
       {unit1, "end of file"}, nullptr},
      {"ControlMissing", nullptr, "valid_3x3x3.tab", nullptr, 2, {unit1, "cannot open"}, nullptr},
      {"ControlIsFolder", nullptr, "valid_3x3x3.tab", control_is_folder, 2,
       {unit1, "cannot open"}, nullptr},
      {"ControlGridTooLarge", "grid_too_large.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Output grid larger than max PELIX grid "}, nullptr},
      // The grid's size is checked before the table is opened: there is none here.
      {"ControlGridTooLargeAlongX", "grid_too_large_x.dat", nullptr, earlier_log, 1,
       {" Output grid larger than max PELIX grid "}, nullptr},
      {"ControlGridTooLargeAlongY", "grid_too_large_y.dat", nullptr, earlier_log, 1,
       {" Output grid larger than max PELIX grid "}, nullptr},
      {"ControlGridTooLargeAlongZ", "grid_too_large_z.dat", nullptr, earlier_log, 1,
       {" Output grid larger than max PELIX grid "}, nullptr},
      {"ControlNegativeCount", "negative_count.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Output grid needs at least 2 nodes along each axis "}, nullptr},
      {"ControlOneNode", "one_node.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Output grid needs at least 2 nodes along each axis "}, nullptr},
      {"ControlSymmetryCode3", "symmetry_code_3.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Symmetry codes must be 0, 1 or 2 "}, nullptr},
      {"ControlSymmetryCode3AlongZ", "symmetry_code_3_z.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Symmetry codes must be 0, 1 or 2 "}, nullptr},
      {"ControlInvalidFormat", "format_invalid.dat", "valid_3x3x3.tab", nullptr, 1,
       {" Not a valid PELIX 3D field format: use 0, 1 or 2 "}, " Output field file name = "},
      // The table the control file names.
      {"TableNameHoldsNul", "nul_in_table_name.dat", "valid_3x3x3.tab", nullptr, 2,
       {"korvane: unit 2, file 'table.txt\\x00.bak'", "NUL"}, nullptr},
      {"TableNameIsFolder", "names_folder.dat", "valid_3x3x3.tab", make_subfolder, 2,
       {"korvane: unit 2, file 'subfolder'", "cannot open"}, nullptr},
      {"TableMissing", "names_missing_table.dat", "valid_3x3x3.tab", nullptr, 2,
       {"korvane: unit 2, file 'missing.txt'", "cannot open"}, nullptr},
      {"TableNameCutAt132", "long_table_name.dat", "valid_3x3x3.tab", nullptr, 2,
       {"korvane: unit 2, file '" + std::string(132, 't') + "':"}, nullptr},
      {"TableEmpty", "valid.dat", "empty.tab", nullptr, 2, {unit2, "end of file"}, nullptr},
      {"TableBlankLinesOnly", "valid.dat", "blank_lines_only.tab", nullptr, 2,
       {unit2, "end of file"}, " Reading real fields only (no coordinates) ..."},
      {"TableHeaderLine", "valid.dat", "header_line.tab", nullptr, 2,
       {unit2 + ", line 1:", "'x'"}, nullptr},
      {"TableBinaryGarbage", "valid.dat", "binary_garbage.tab", nullptr, 2, {unit2 + ", line 1:"},
       nullptr},
      {"TableSingleRecord", "valid.dat", "single_record.tab", nullptr, 2,
       {unit2, "end of file"}, probe_record},
      {"TableLineOfPoints", "valid.dat", "line_of_points.tab", nullptr, 2,
       {unit2, "end of file"}, probe_record},
      {"TablePlaneOfPoints", "valid.dat", "plane_of_points.tab", nullptr, 2,
       {unit2, "end of file"}, probe_record},
      {"TableTextInCoordinate", "valid.dat", "text_in_coordinate.tab", nullptr, 2,
       {unit2 + ", line 2:", "'abc'"}, probe_record},
      {"TableTextInFieldValue", "valid.dat", "text_in_field_value.tab", nullptr, 2,
       {unit2 + ", line 14:", "'O.25'"}, grid_block},
      {"TableNulByte", "valid.dat", "nul_byte.tab", nullptr, 2, {unit2 + ", line 5:"}, grid_block},
      {"TableValueTooLarge", "valid.dat", "value_too_large.tab", nullptr, 2,
       {unit2 + ", line 9:", "'1e400'"}, grid_block},
      {"TableNaN", "valid.dat", "nan_value.tab", nullptr, 2, {unit2 + ", line 9:", "'NaN'"},
       grid_block},
      {"TableTruncatedInLastRecord", "valid.dat", "truncated_last_record.tab", nullptr, 2,
       {unit2, "end of file"}, grid_block},
      {"TableTooFewRecordsWithoutCoordinates", "valid.dat", "too_few_records_no_coordinates.tab",
       nullptr, 2, {unit2, "end of file"}, grid_block},
      {"TableSameFirstTwoRecords", "valid.dat", "same_first_two_records.tab", nullptr, 1,
       {" Input grid not found in the export table "}, grid_block},
      {"TableCoordinatesDecreasing", "valid.dat", "x_decreasing.tab", nullptr, 1,
       {" Input grid coordinates must increase along each axis "}, grid_block},
      {"TableBeyondCapacity", "valid.dat", "valid_3x3x3.tab", table_beyond_capacity, 1,
       {" Input grid larger than max input grid "}, grid_block},
      {"TableVeryLongFirstRecord", "valid.dat", "valid_3x3x3.tab", very_long_first_record, 0,
       {}, probe_record},
      // The CR between two values shows in the message: the user sees why.
      {"TableCrOnlyLineEnds", "valid.dat", "cr_only.tab", nullptr, 2,
       {unit2 + ", line 1:", "\\x0D"}, nullptr},
      {"TableCrLfAndCommas", "valid.dat", "crlf_commas.tab", nullptr, 0, {}, probe_record},
      {"TableEmptyFirstRecord", "valid.dat", "empty_first_record.tab", nullptr, 0, {},
       " Reading real fields only (no coordinates) ..."},
      // A partial last plane is dropped from the counts, but its last record sets the
      // upper bounds: ending at the start of a row the x range collapses; ending inside a
      // row the run goes on with a stretched grid, and the user is warned that the
      // records lie off the mesh.
      {"TableTruncatedAtRowStart", "valid.dat", "truncated_mid_plane.tab", nullptr, 1,
       {" Input grid coordinates must increase along each axis "}, grid_block},
      {"TableTruncatedInsideRow", "valid.dat", "truncated_mid_row.tab", nullptr, 0,
       {"korvane: warning: ", "'table.txt', line 4:", "off the regular mesh"}, grid_block},
  };
}

class MalformedInput : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(MalformedInput, EndsWithItsStatusAndKeepsLogAndEarlierFile) {
  const CorpusCase& c = GetParam();
  // Once with one thread and once with the default: the same ends, byte for byte.
  std::vector<std::string> errors, logs;
  for (const char* setting : thread_settings) {
    SCOPED_TRACE(setting);
    ScratchDir dir;
    if (c.control != nullptr) fs::copy_file(corpus_dir / c.control, dir / "korvane.dat");
    if (c.table != nullptr) fs::copy_file(corpus_dir / c.table, dir / "table.txt");
    if (c.prepare != nullptr) c.prepare(dir.path());
    write_file(dir / "eh_EMS.#07", earlier_field_file);

    const ProcessResult run = run_korvane(dir.path(), "", setting);

    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string first_line = run.err.substr(0, run.err.find('\n'));
    for (const std::string& part : c.first_line) {
      EXPECT_NE(first_line.find(part), std::string::npos)
          << "first line of stderr: " << first_line << "\nlacks: " << part;
    }
    if (c.status == 1) {
      // A fatal stop is its message alone, on one line.
      ASSERT_EQ(c.first_line.size(), 1u);
      EXPECT_EQ(run.err, c.first_line[0] + "\n");
    }
    if (c.status == 2) {
      EXPECT_EQ(first_line.rfind("korvane: unit ", 0), 0u) << first_line;
      // A quoted bad value: its line follows, then a caret under the value.
      const std::size_t quote = first_line.find(": '");
      if (quote != std::string::npos && first_line.find(", line ") < quote) {
        const std::string token =
            first_line.substr(quote + 3, first_line.find('\'', quote + 3) - quote - 3);
        std::vector<std::string> lines;
        for (std::size_t p = 0, n; (n = run.err.find('\n', p)) != std::string::npos; p = n + 1) {
          lines.push_back(run.err.substr(p, n - p));
        }
        ASSERT_EQ(lines.size(), 3u) << run.err;
        const std::size_t column = lines[1].find(token);
        if (column != std::string::npos) {  // unprintable bytes are shown otherwise
          EXPECT_EQ(lines[2], std::string(column, ' ') + "^") << run.err;
        }
      }
    }
    if (c.status == 0 && c.first_line.empty()) {
      EXPECT_EQ(run.err, "");
    }

    const std::string log = read_file(dir / "korvane.log");
    EXPECT_EQ(log.rfind(log_header, 0), 0u) << log;
    if (c.log_holds != nullptr) {
      EXPECT_NE(log.find(c.log_holds), std::string::npos) << log;
    } else if (c.status != 0) {
      EXPECT_EQ(log, log_header);
    }
    EXPECT_EQ(log.find("korvane:"), std::string::npos) << "an error message went into the log";
    if (c.status == 1) {
      EXPECT_EQ(log.find(c.first_line[0]), std::string::npos);
    }

    if (c.status == 0) {
      EXPECT_NE(read_file(dir / "eh_EMS.#07"), earlier_field_file);
    } else {
      EXPECT_EQ(read_file(dir / "eh_EMS.#07"), earlier_field_file);
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("eh_EMS.", 0) == 0) {
        EXPECT_EQ(name, "eh_EMS.#07") << "a stray output file";
      }
    }
    errors.push_back(run.err);
    logs.push_back(log);
  }
  EXPECT_EQ(errors[0], errors[1]);
  EXPECT_EQ(logs[0], logs[1]);
}

INSTANTIATE_TEST_SUITE_P(Corpus, MalformedInput, ::testing::ValuesIn(corpus_cases()),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace korvane::testing
