// Both passes over an export on two threads, in chunks and windows cut so small that every
// change of an export falls on a chunk or window boundary somewhere, and through a pipe,
// read line by line: the scan, the table and the error must be those of one thread reading
// the file as one chunk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "prepare/export_scan.h"
#include "prepare/prepare_files.h"
#include "support/test_support.h"

namespace korvane::prepare {
namespace {

// Every figure of a scan, doubles in hexadecimal.
std::string describe(const ExportScan& s) {
  std::string t;
  char text[64];
  auto real = [&](double v) {
    std::snprintf(text, sizeof text, " %a", v);
    t += text;
  };
  t += std::to_string(s.header_lines) + " [" + s.header + "] " +
       std::to_string(s.first_record_line) + " " + describe_layout(s.layout) + " " +
       std::to_string(s.records) + " " + std::to_string(s.repeat_line) + " " +
       describe_order(s.order) + " " + std::to_string(s.widest_record);
  for (const AxisMesh& m : s.axis) {
    t += " " + std::to_string(m.count) + " " + std::to_string(m.worst_node);
    for (double v : {m.lo, m.hi, m.step, m.deviation}) real(v);
  }
  for (int part = 0; part < 2; ++part) {
    for (int k = 0; k < 3; ++k) {
      real(s.largest[part][k]);
      for (int a = 0; a < 3; ++a) {
        real(s.largest_on_plane[a][part][k]);
        real(s.odd_sum[part][a][k]);
        real(s.even_sum[part][a][k]);
      }
    }
  }
  return t;
}

struct Passes {
  std::string scan, table, error;
};

// Scans `path`, then writes its table, on `setup`.
Passes run_passes(const std::string& path, PassSetup setup) {
  Passes result;
  try {
    Plan plan;
    plan.scan = scan_export(path, setup);
    result.scan = describe(plan.scan);
    StringSink table;
    write_table(plan, path, table, setup);
    result.table = table.text;
  } catch (const std::runtime_error& error) {
    result.error = error.what();
  }
  return result;
}

// Both passes over `text` written into a pipe, once for each pass.
Passes run_passes_through_a_pipe(const testing::ScratchDir& dir, const std::string& text) {
  // A pass that stops early closes the pipe on the writer: its write then fails, quietly.
  struct IgnoredBrokenPipe {
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    ~IgnoredBrokenPipe() { std::signal(SIGPIPE, previous); }
  } ignored;
  const std::string pipe = (dir / "pipe").string();
  EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  auto write_once = [&] {
    const int fd = ::open(pipe.c_str(), O_WRONLY);
    for (std::size_t at = 0; fd >= 0 && at < text.size();) {
      const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    if (fd >= 0) ::close(fd);
  };
  TaskPool team(2);
  const PassSetup setup{team, ChunkLayout{5, 2}};
  Passes result;
  try {
    Plan plan;
    {
      std::thread writer(write_once);
      try {
        plan.scan = scan_export(pipe, setup);
      } catch (...) {
        writer.join();
        throw;
      }
      writer.join();
    }
    result.scan = describe(plan.scan);
    std::thread writer(write_once);
    StringSink table;
    try {
      write_table(plan, pipe, table, setup);
    } catch (...) {
      writer.join();
      throw;
    }
    writer.join();
    result.table = table.text;
  } catch (const std::runtime_error& error) {
    result.error = error.what();
  }
  return result;
}

// E of 4 x 3 x 5 nodes, z fastest, real and imaginary parts interleaved, CR LF: 60 records
// on lines 3 to 62.
std::vector<std::string> export_lines(bool long_numbers = false) {
  std::vector<std::string> lines = {
      "x [mm]  y [mm]  z [mm]  ExRe [V/m]  ExIm [V/m]  EyRe [V/m]  EyIm [V/m]  EzRe [V/m]  "
      "EzIm [V/m]",
      "------------------------------------------------------------"};
  char text[512];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 5; ++k) {
        const double x = -1.5 + i, y = -1 + j, z = 0.5 * k;
        std::snprintf(text, sizeof text,
                      long_numbers ? "%.24e %.24e %.24e %.24e 0 %.24e 0 %.24e 0"
                                   : "%g %g %g %.9e 0 %.9e 0 %.9e 0",
                      x, y, z, x * (1 + z) + 0.125 * y, y - 0.25 * z * x, 1 + z * z - x * y);
        lines.push_back(text);
      }
    }
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// The line with its `n`-th value (from 0) replaced by `value`.
std::string with_value(const std::string& line, int n, const std::string& value) {
  std::size_t start = 0;
  for (int v = 0; v < n; ++v) start = line.find(' ', start) + 1;
  return line.substr(0, start) + value + line.substr(std::min(line.find(' ', start), line.size()));
}

// The line in the ';' variant: values separated by "; ", titles after '#'.
std::string with_semicolons(const std::string& line) {
  std::string out;
  std::size_t start = 0;
  const bool titles = line[0] == 'x';
  for (;;) {
    std::size_t end = line.find(' ', start);
    if (titles && end != std::string::npos) end = line.find(' ', end + 1);  // "x [mm]"
    out += line.substr(start, end - start);
    if (end == std::string::npos) break;
    out += titles ? ";" : " ; ";
    start = line.find_first_not_of(' ', end);
  }
  return titles ? "#" + out : out;
}

enum class Change {
  none,
  blank_before,
  bad_value,
  truncated,
  repeated_node,
  off_mesh,
  decreasing_then_bad_value,
  cut_after,
  long_table_line,
  semicolons,
  decimal_comma,
  repeat_at_end,
  byte_order_mark
};

struct Case {
  const char* name;
  Change change;
  bool fault;  // the export cannot be prepared
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string changed_export(Change change, std::size_t at) {
  std::vector<std::string> lines = export_lines();
  std::string& line = lines[at];
  switch (change) {
    case Change::none:
      break;
    case Change::long_table_line:
      line = export_lines(true)[at];
      break;
    case Change::blank_before:
      lines.insert(lines.begin() + static_cast<long>(at), "   ");
      break;
    case Change::bad_value:
      line = with_value(line, 4, "O.25");
      break;
    case Change::truncated:
      line = line.substr(0, line.rfind(' '));
      break;
    case Change::repeated_node:
      lines.insert(lines.begin() + static_cast<long>(at), line);
      break;
    case Change::off_mesh:
      line = with_value(line, 2, "0.15");
      break;
    case Change::decreasing_then_bad_value:
      line = with_value(line, 0, "-9");
      lines.back() = with_value(lines.back(), 3, "O.5");
      break;
    case Change::cut_after:
      lines.resize(at + 1);
      return joined(lines).substr(0, joined(lines).size() - 2);
    case Change::semicolons:
    case Change::decimal_comma:
      if (change == Change::decimal_comma) line = with_value(line, 3, "1,5");
      for (std::string& l : lines) l = with_semicolons(l);
      lines.erase(lines.begin() + 1);  // the dashes
      break;
    case Change::repeat_at_end:
      lines.push_back(lines.back());
      break;
    case Change::byte_order_mark:
      lines.front() = "\xEF\xBB\xBF" + lines.front();
      break;
  }
  return joined(lines);
}

class ExportPasses : public ::testing::TestWithParam<Case> {};

TEST_P(ExportPasses, SameOnAnyTeamWhereverTheChunksEnd) {
  const Case& c = GetParam();
  TaskPool one(1), two(2);
  const ChunkLayout layouts[] = {{1, 1}, {1, 3}, {37, 2}, {200, 4}};
  // The first record, the second, one inside and the last.
  for (std::size_t at : {2u, 3u, 30u, 61u}) {
    testing::ScratchDir dir;
    const std::string text = changed_export(c.change, at);
    const std::string path = (dir / "export.txt").string();
    testing::write_file(path, text);
    const Passes whole = run_passes(path, PassSetup{one, ChunkLayout{std::size_t{1} << 30, 1}});
    // An export cut after its last line only lacks the last line end, and a repeat of the
    // last record is dropped.
    const bool fault = c.fault && !(at == 61 && (c.change == Change::cut_after ||
                                                 c.change == Change::repeated_node));
    EXPECT_EQ(whole.error.empty(), !fault) << "line " << at + 1 << ": " << whole.error;
    for (const ChunkLayout& layout : layouts) {
      SCOPED_TRACE("line " + std::to_string(at + 1) + ", chunks of " +
                   std::to_string(layout.chunk_bytes) + " bytes, " +
                   std::to_string(layout.chunks_per_window) + " a window");
      const Passes parts = run_passes(path, PassSetup{two, layout});
      EXPECT_EQ(parts.error, whole.error);
      EXPECT_EQ(parts.scan, whole.scan);
      EXPECT_EQ(parts.table, whole.table);
    }
    SCOPED_TRACE("line " + std::to_string(at + 1) + ", through a pipe");
    const Passes piped = run_passes_through_a_pipe(dir, text);
    std::string error = whole.error;
    for (std::size_t name = error.find("export.txt"); name != std::string::npos;
         name = error.find("export.txt")) {
      error.replace(name, 10, "pipe");
    }
    EXPECT_EQ(piped.error, error);
    EXPECT_EQ(piped.scan, whole.scan);
    EXPECT_EQ(piped.table, whole.table);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ExportPasses,
    ::testing::Values(Case{"Regular", Change::none, false},
                      Case{"BlankLine", Change::blank_before, false},
                      Case{"BadValue", Change::bad_value, true},
                      Case{"Truncated", Change::truncated, true},
                      Case{"RepeatedNode", Change::repeated_node, true},
                      Case{"OffMesh", Change::off_mesh, true},
                      Case{"MeshFaultBeforeBadValue", Change::decreasing_then_bad_value, true},
                      Case{"Cut", Change::cut_after, true},
                      Case{"LongTableLine", Change::long_table_line, true},
                      Case{"Semicolons", Change::semicolons, false},
                      Case{"DecimalComma", Change::decimal_comma, true},
                      Case{"RepeatAtEnd", Change::repeat_at_end, false},
                      Case{"ByteOrderMark", Change::byte_order_mark, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::prepare
