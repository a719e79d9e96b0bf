// The table read on several threads, in chunks and windows cut so small that every
// irregularity of a table falls on a chunk or window boundary somewhere: the grid, the
// loaded field, the log, the warning and the error must be those of the sequential read.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "driver/phase_list.h"
#include "support/test_support.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {
namespace {

double sloped(double x, double y, double z, int c) {
  return c == 0 ? x + 0.5 * y : c == 1 ? y * z - 1.25 : 3.0 * z - x;
}

struct Import {
  std::string log, warnings, error;
  std::vector<double> field;  // ExIn, EyIn, EzIn over the grid found and one node beyond
};

// Probe, scan and load of the table "table.txt" in `dir`, by the run's phase list; with
// `ahead`, the scan reads the load's records as the converter's run has it do.
Import import_table(const testing::ScratchDir& dir, TaskPool* pool, ChunkLayout layout,
                    bool ahead = false) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  testing::set_table_name(s, (dir / "table.txt").string());
  s.cscale = 1.0, s.aper = 1.0, s.d_elm = 2.0;
  s.Nox = 4, s.Noy = 5, s.Noz = 6;
  StringSink sink;
  ListWriter log(sink);
  testing::CollectedWarnings warnings;
  Import result;
  try {
    RunContext run("korvane", log, warnings, pool);
    run.layout = layout;
    RunPlan plan;
    plan.first = Phase::probe;
    plan.last = Phase::load;
    plan.read_ahead = ahead;
    run_phase_list(s, run, plan);
  } catch (const std::runtime_error& error) {
    result.error = error.what();
  }
  result.log = sink.text;
  for (const std::string& text : warnings.texts) result.warnings += text + "\n";
  // One node more along each axis: what was read past the grid must not stay there.
  for (const InputField* f : {&s.ExIn, &s.EyIn, &s.EzIn}) {
    for (int k = 1; k <= std::min(s.Niz + 1, Nizmax); ++k) {
      for (int j = 1; j <= std::min(s.Niy + 1, Niymax); ++j) {
        for (int i = 1; i <= std::min(s.Nix + 1, Nixmax); ++i) {
          result.field.push_back((*f)(i, j, k));
        }
      }
    }
  }
  return result;
}

enum class Change {
  none,          // the table as written
  split,         // the record goes on over two lines
  blank_before,  // an empty line before it
  bad_value,     // its fifth value is not a number
  off_mesh,      // its first coordinate off the mesh
  cut_after,     // the table ends after it, without the line end
  crlf,          // every line ends in CR LF, this one in a CR only
  extra_values,  // it carries more values and a comment
};

struct Case {
  const char* name;
  int columns;
  Change change;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Splits a table into its lines, without their LF.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string changed_table(const Case& c, std::size_t at) {
  const double lo[3] = {-1.0, 0.0, -2.5}, step[3] = {0.5, 0.25, 1.0};
  std::vector<std::string> lines = lines_of(testing::make_table(4, 5, 6, lo, step, 213, c.columns, sloped));
  std::string& line = lines[at];
  auto after_value = [&](int n) {  // the position after the n-th value
    std::size_t pos = 0;
    for (int v = 0; v < n; ++v) pos = line.find(' ', pos + 1);
    return pos;
  };
  std::string text;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string end = c.change == Change::crlf ? "\r\n" : "\n";
    if (n != at) {
      text.append(lines[n]).append(end);
      continue;
    }
    switch (c.change) {
      case Change::none: text.append(line).append(end); break;
      case Change::split:
        text.append(line, 0, after_value(2)).append("\n").append(line, after_value(2) + 1);
        text.append(end);
        break;
      case Change::blank_before: text.append("\n").append(line).append(end); break;
      case Change::bad_value:
        text.append(line, 0, after_value(1)).append(" O.25").append(line, after_value(2));
        text.append(end);
        break;
      case Change::off_mesh: text.append("0.8").append(line, line.find(' ')).append(end); break;
      case Change::cut_after: return text.append(line);
      case Change::crlf: text.append(line).append("\r"); break;
      case Change::extra_values: text.append(line).append(" 7 8 9 ! from the solver\n"); break;
    }
  }
  return text;
}

class ParallelRead : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelRead, SameAsSequentialWhereverTheChunksEnd) {
  const Case& c = GetParam();
  TaskPool pool(3);
  const ChunkLayout layouts[] = {{1, 1}, {1, 4}, {23, 2}, {97, 3}, {1 << 20, 16}};
  // Records 1 to 3 are read by the first runs of the scan; 4 (the fast axis turns over),
  // inside, and the last two.
  for (std::size_t at : {0u, 1u, 2u, 3u, 4u, 57u, 118u, 119u}) {
    testing::ScratchDir dir;
    testing::write_file(dir / "table.txt", changed_table(c, at));
    const Import sequential = import_table(dir, nullptr, {});
    for (const ChunkLayout& layout : layouts) {
      for (bool ahead : {false, true}) {
        SCOPED_TRACE("line " + std::to_string(at + 1) + ", chunks of " +
                     std::to_string(layout.chunk_bytes) + " bytes, " +
                     std::to_string(layout.chunks_per_window) + " a window" +
                     (ahead ? ", read ahead by the scan" : ""));
        const Import parallel = import_table(dir, &pool, layout, ahead);
        EXPECT_EQ(parallel.error, sequential.error);
        EXPECT_EQ(parallel.warnings, sequential.warnings);
        EXPECT_EQ(parallel.log, sequential.log);
        // After an error the run ends, whatever the store holds; chunks read past the
        // record at fault may have filled more of it.
        if (sequential.error.empty()) {
          EXPECT_TRUE(parallel.field == sequential.field);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ParallelRead,
    ::testing::Values(Case{"Regular", 9, Change::none}, Case{"Split", 9, Change::split},
                      Case{"BlankLine", 9, Change::blank_before},
                      Case{"BadValue", 9, Change::bad_value},
                      Case{"OffMesh", 9, Change::off_mesh}, Case{"Cut", 9, Change::cut_after},
                      Case{"CrLfAndCr", 9, Change::crlf},
                      Case{"ExtraValues", 9, Change::extra_values},
                      Case{"SixColumnsSplit", 6, Change::split},
                      Case{"SixColumnsOffMesh", 6, Change::off_mesh},
                      Case{"NoCoordinatesBlankLine", 3, Change::blank_before},
                      Case{"NoCoordinatesBadValue", 3, Change::bad_value},
                      Case{"NoCoordinatesCut", 3, Change::cut_after}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
