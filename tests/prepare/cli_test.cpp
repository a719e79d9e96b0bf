// korvane-prepare's run called in-process gives what the process gives: the same status,
// report and messages, each message with the tool's name once in front.
#include "prepare/cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace korvane::prepare {
namespace {

using testing::ScratchDir;

// A whole 3 x 3 x 3 export in mm and V/m; a field of `scale` 0 is zero everywhere.
std::string scaled_export(int scale = 1) {
  std::string out = "x [mm] y [mm] z [mm] Ex [V/m] Ey [V/m] Ez [V/m]\n";
  for (int k = -1; k <= 1; ++k) {
    for (int j = -1; j <= 1; ++j) {
      for (int i = -1; i <= 1; ++i) {
        out += std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(k) + " " +
               std::to_string(scale * (1 + i)) + " " + std::to_string(scale * (2 + j)) + " " +
               std::to_string(scale * (3 + k)) + "\n";
      }
    }
  }
  return out;
}

struct Row {
  const char* name;
  const char* arguments;
  int status;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.arguments; }

class InProcess : public ::testing::TestWithParam<Row> {};

TEST_P(InProcess, GivesWhatTheProcessGives) {
  const Row& row = GetParam();
  ScratchDir process_dir, run_dir;
  for (const ScratchDir* dir : {&process_dir, &run_dir}) {
    testing::write_file(*dir / "export.txt", scaled_export());
    testing::write_file(*dir / "zero.txt", scaled_export(0));
  }
  const testing::ProcessResult process =
      testing::run_tool(KORVANE_PREPARE_BINARY, process_dir.path(), row.arguments);

  std::vector<std::string> args;
  std::istringstream words(row.arguments);
  for (std::string word; words >> word;) args.push_back(word);
  std::string out, err;
  int status = -1;
  {
    testing::WorkingDir here(run_dir.path());
    status = run_prepare(args, out, err);
  }
  EXPECT_EQ(status, row.status) << err;
  EXPECT_EQ(process.status, row.status) << process.err;
  EXPECT_EQ(out, process.out);
  EXPECT_EQ(err, process.err);
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == ' ') continue;  // an excerpt of the export, or its caret
    EXPECT_EQ(line.rfind("korvane-prepare: ", 0), 0u) << line;
    EXPECT_EQ(line.find("korvane-prepare: ", 1), std::string::npos) << line;
    EXPECT_EQ(line.find("korvane: "), std::string::npos) << line;
  }
}

const Row rows[] = {
    {"report", "export.txt --dir case", 0},
    {"json_report", "export.txt --dir case --json", 0},
    {"warning", "zero.txt --dir case", 0},
    {"refusal", "export.txt --dir case --part im", 1},
    {"missing_export", "missing.txt --dir case", 2},
    {"wrong_command_line", "export.txt --format 5", 2},
    {"help", "--help", 0},
    {"version", "--version", 0},
};

INSTANTIATE_TEST_SUITE_P(Arguments, InProcess, ::testing::ValuesIn(rows),
                         [](const auto& info) { return std::string(info.param.name); });

// A pipe gives its records once; the export is read twice. Refused before it is opened,
// where the second pass used to say that the export changed while it was read.
TEST(PrepareInput, APipeIsRefusedBeforeItIsRead) {
  ScratchDir dir;
  const std::string pipe = (dir / "export.fifo").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string out, err;
  EXPECT_EQ(run_prepare({pipe, "--dir", (dir / "case").string()}, out, err), 2);
  EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
}

}  // namespace
}  // namespace korvane::prepare
