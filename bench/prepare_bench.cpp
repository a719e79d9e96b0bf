// Times korvane-prepare on the largest table the converter takes, 50 x 50 x 402 records of
// 9 values with the two header lines a solver writes, side by side with its baseline: a
// bare read of the same file in two passes, each parsing every value with std::from_chars.
//
//   korvane_prepare_bench WORKDIR [REPEATS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bare_read.h"
#include "prepare/prepare.h"
#include "textio/byte_sink.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane_prepare_bench WORKDIR [REPEATS]\n");
    return 2;
  }
  const fs::path work = argv[1];
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  fs::create_directories(work);
  const fs::path path = work / "export_largest.txt";
  const std::uintmax_t bytes = fs::exists(path) ? fs::file_size(path) : write_export(path);
  std::printf("export: %s, %ju bytes, 1,005,000 records of 9 values, 2 header lines\n",
              path.c_str(), bytes);

  korvane::prepare::Options options;
  options.export_path = path.string();
  options.dir = (work / "prepared").string();
  options.force = true;
  double best_bare = 1e9, best_prepare = 1e9;
  for (int round = 0; round < repeats; ++round) {
    auto start = Clock::now();
    const double sum = korvane::bench::bare_read(path, 2, {0, 0});
    best_bare = std::min(best_bare, seconds_since(start));
    start = Clock::now();
    const korvane::prepare::Plan plan = korvane::prepare::plan_preparation(options);
    korvane::prepare::write_preparation(plan, options);
    best_prepare = std::min(best_prepare, seconds_since(start));
    if (sum == 0) std::printf("(sum 0)\n");
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("bare two-pass from_chars read: %.3f s (%.0f MB/s a pass)\n", best_bare,
              2 * mb / best_bare);
  std::printf("korvane-prepare, both passes and both files: %.3f s (%.2f x the baseline)\n",
              best_prepare, best_prepare / best_bare);
  // Peak memory is korvane-prepare's own: /usr/bin/time -v korvane-prepare ... (this
  // process also maps the whole file for the baseline).
  return 0;
}
