// Times korvane-prepare on the largest table the converter takes, 50 x 50 x 402 records of
// 9 values with the two header lines a solver writes, side by side with its baseline: a
// bare read of the same file in two passes, each parsing every value with std::from_chars.
// Each round times the baseline, the whole korvane-prepare process (started, writing its
// table and korvane.dat, ended) and the same preparation called in this process; the
// figures are the medians of the rounds.
//
//   korvane_prepare_bench WORKDIR [ROUNDS]
#include <algorithm>
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
// interleaved, in 17-character columns with three-digit exponents.
std::uintmax_t write_export(const fs::path& path) {
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
        const double x = -24.5 + i, y = -24.5 + j, z = -100.25 + 0.5 * k;
        const double v[6] = {1e3 * y * (1 + 1e-4 * z), 0.0, 1e3 * x * (1 - 1e-4 * z), 0.0,
                             0.5 * x * y + 1.0,        0.0};
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
int run_process(const fs::path& export_path, const fs::path& dir, const fs::path& log) {
  return korvane::bench::run_process(
      {KORVANE_PREPARE_BINARY, export_path.string(), "--dir", dir.string(), "--force"}, log);
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
  const fs::path path = work / "export_largest.txt";
  const std::uintmax_t bytes = fs::exists(path) ? fs::file_size(path) : write_export(path);
  std::printf("export: %s, %ju bytes, 1,005,000 records of 9 values, 2 header lines\n",
              path.c_str(), bytes);
  std::printf("korvane-prepare: %s\n", KORVANE_PREPARE_BINARY);
  print_load("before");

  korvane::prepare::Options options;
  options.export_path = path.string();
  options.dir = (work / "prepared_in_process").string();
  options.force = true;
  const fs::path process_dir = work / "prepared";
  const fs::path log = work / "prepare_report.txt";
  std::vector<double> bare, process, in_process;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    const double sum = korvane::bench::bare_read(path, 2, {0, 0});
    bare.push_back(seconds_since(start));
    if (sum == 0) std::printf("(sum 0)\n");

    start = Clock::now();
    const int status = run_process(path, process_dir, log);
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
  std::printf("  korvane-prepare process, started to ended, both files written: %.3f s"
              " (%.2f x the baseline)\n",
              median(process), median(process) / base);
  std::printf("  the same preparation in this process: %.3f s (%.2f x the baseline)\n",
              median(in_process), median(in_process) / base);
  print_load("after");
  // Peak memory is korvane-prepare's own: /usr/bin/time -v korvane-prepare ... (this
  // process also maps the whole file for the baseline).
  return 0;
}
