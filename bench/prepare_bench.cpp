// Times korvane-prepare on the largest table the converter takes, 50 x 50 x 402 records of
// 9 values with the two header lines a solver writes, side by side with its baseline: a
// bare read of the same file in two passes, each parsing every value with std::from_chars.
// Two exports: a whole one, and an eighth whose planes korvane-prepare keeps and whose grid
// it chooses among its candidates by their departure. Each round times the baseline, the
// whole korvane-prepare process (started, writing its table and korvane.dat, measuring the
// map's departure, ended) and the same preparation called in this process; the figures are
// the medians of the rounds.
//
//   korvane_prepare_bench WORKDIR [ROUNDS]
#include <algorithm>
#include <array>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bare_read.h"
#include "prepare/prepare.h"
#include "textio/byte_sink.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void print_load(const char* when) {
  double load[3];
  if (getloadavg(load, 3) == 3) {
    std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
  }
}

// x, y, z in mm with z fastest, then y, then x; E in V/m, real and imaginary parts
// interleaved, in 17-character columns with three-digit exponents. The whole export runs
// from -24.5 mm in x and y and -100.25 mm in z; an eighth starts at 0 on all three, its
// field peaked on the axis with codes 1 at the planes x, y, z = 0 (korvane-prepare keeps
// them and tries its candidate grids, the table's 50 x 50 x 402 nodes being more than the
// output holds).
std::uintmax_t write_export(const fs::path& path, bool eighth) {
  korvane::FileSink out("korvane_prepare_bench", 0, path.string());
  out.open_truncate();
  out.write(
      "x [mm]           y [mm]           z [mm]           ExRe [V/m]       ExIm [V/m]"
      "       EyRe [V/m]       EyIm [V/m]       EzRe [V/m]       EzIm [V/m]      \r\n");
  out.write(std::string(153, '-') + "\r\n");
  char line[256];
  for (int i = 0; i < 50; ++i) {
    for (int j = 0; j < 50; ++j) {
      for (int k = 0; k < 402; ++k) {
        const double x = eighth ? 0.5 * i : -24.5 + i, y = eighth ? 0.5 * j : -24.5 + j;
        const double z = eighth ? 0.5 * k : -100.25 + 0.5 * k;
        const double g = std::exp(-(x * x + y * y) / 200.0);
        const std::array<double, 6> v =
            eighth ? std::array<double, 6>{1e3 * x * g * std::cos(z / 30), 0.0,
                                           1e3 * y * g * std::cos(z / 30), 0.0,
                                           1e4 * g * std::sin(z / 30), 0.0}
                   : std::array<double, 6>{1e3 * y * (1 + 1e-4 * z), 0.0, 1e3 * x * (1 - 1e-4 * z),
                                           0.0, 0.5 * x * y + 1.0, 0.0};
        int n = 0;
        for (double c : {x, y, z}) n += std::snprintf(line + n, sizeof line - n, "%17.9e", c);
        for (double value : v) n += std::snprintf(line + n, sizeof line - n, "%17.9e", value);
        line[n++] = '\r';
        line[n++] = '\n';
        out.write(line, static_cast<std::size_t>(n));
      }
    }
  }
  out.close();
  return fs::file_size(path);
}

// Runs the built korvane-prepare as a shell would, its report and messages into `log`;
// returns its exit status (-1 when it could not be started or did not exit).
int run_process(const fs::path& export_path, const fs::path& dir, const fs::path& log,
                const std::vector<std::string>& extra) {
  std::vector<std::string> args = {KORVANE_PREPARE_BINARY, export_path.string(), "--dir",
                                   dir.string(), "--force"};
  args.insert(args.end(), extra.begin(), extra.end());
  return korvane::bench::run_process(args, log);
}

// One export timed: the bare read, the whole process and the preparation in this process,
// in turn each round.
int time_export(const fs::path& work, const char* name, bool eighth, int rounds) {
  const fs::path path = work / (std::string("export_") + name + ".txt");
  const std::uintmax_t bytes = fs::exists(path) ? fs::file_size(path) : write_export(path, eighth);
  std::printf("\nexport: %s, %ju bytes, 1,005,000 records of 9 values, 2 header lines%s\n",
              path.c_str(), bytes, eighth ? ", an eighth prepared with --symmetry 1 1 1" : "");
  const std::vector<std::string> extra =
      eighth ? std::vector<std::string>{"--symmetry", "1", "1", "1"} : std::vector<std::string>{};
  korvane::prepare::Options options;
  options.export_path = path.string();
  options.dir = (work / (std::string("prepared_in_process_") + name)).string();
  options.force = true;
  if (eighth) options.symmetry = std::array<int, 3>{1, 1, 1};
  const fs::path process_dir = work / (std::string("prepared_") + name);
  const fs::path log = work / (std::string("prepare_report_") + name + ".txt");
  std::vector<double> bare, process, in_process;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    const double sum = korvane::bench::bare_read(path, 2, {0, 0});
    bare.push_back(seconds_since(start));
    if (sum == 0) std::printf("(sum 0)\n");

    start = Clock::now();
    const int status = run_process(path, process_dir, log, extra);
    process.push_back(seconds_since(start));
    if (status != 0) {
      std::fprintf(stderr, "korvane-prepare ended with status %d; see %s\n", status, log.c_str());
      return 1;
    }

    start = Clock::now();
    korvane::prepare::Plan plan = korvane::prepare::plan_preparation(options);
    korvane::prepare::write_preparation(plan, options);
    in_process.push_back(seconds_since(start));
  }
  const double base = median(bare);
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("medians of %d rounds:\n", rounds);
  std::printf("  bare two-pass from_chars read: %.3f s (%.0f MB/s a pass)\n", base,
              2 * mb / base);
  std::printf("  korvane-prepare process, started to ended, both files written and the map's"
              " departure measured: %.3f s (%.2f x the baseline)\n",
              median(process), median(process) / base);
  std::printf("  the same preparation in this process: %.3f s (%.2f x the baseline)\n",
              median(in_process), median(in_process) / base);
  std::printf("  the report: %s\n", log.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane_prepare_bench WORKDIR [ROUNDS]\n");
    return 2;
  }
  const fs::path work = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  fs::create_directories(work);
  std::printf("korvane-prepare: %s\n", KORVANE_PREPARE_BINARY);
  print_load("before");
  if (time_export(work, "largest", false, rounds) != 0) return 1;
  if (time_export(work, "eighth", true, rounds) != 0) return 1;
  print_load("after");
  // Peak memory is korvane-prepare's own: /usr/bin/time -v korvane-prepare ... (this
  // process also maps the whole file for the baseline).
  return 0;
}
