// Times a conversion of the largest table the field store takes: 50 x 50 x 402 records of
// 9 values (coordinates, real and imaginary parts), as a solver writes them, interpolated
// onto the largest output grid (25 x 25 x 201) and written in format 1 with both field
// sets. Reports each phase and the whole run, with throughput and peak memory.
//
//   korvane_bench WORKDIR [REPEATS]
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "control/control_file.h"
#include "driver/conversion.h"
#include "import/table_import.h"
#include "output/field_file.h"
#include "regrid/regrid.h"
#include "symmetry/unfold.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace fs = std::filesystem;
using korvane::FieldStore;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// x, y, z in mm with z fastest, then y, then x; a smooth field in 10 significant digits.
std::uintmax_t write_table(const fs::path& path) {
  korvane::FileSink out(2, path.string());
  out.open_truncate();
  char line[256];
  for (int i = 0; i < 50; ++i) {
    for (int j = 0; j < 50; ++j) {
      for (int k = 0; k < 402; ++k) {
        const double x = -24.5 + i, y = -24.5 + j, z = -100.25 + 0.5 * k;
        const double v[6] = {1e3 * y * (1 + 1e-4 * z),
                             1e3 * x * (1 - 1e-4 * z),
                             0.5 * x * y,
                             -2e-3 * x,
                             3e-3 * y,
                             1e-2 * z};
        int n = std::snprintf(line, sizeof line, "  %9.4f  %9.4f  %9.4f", x, y, z);
        for (double value : v) n += std::snprintf(line + n, sizeof line - n, "  % .9e", value);
        line[n++] = '\n';
        out.write(line, static_cast<std::size_t>(n));
      }
    }
  }
  out.close();
  return fs::file_size(path);
}

class NoWarnings : public korvane::Warnings {
 public:
  void warn(const std::string& text) override {
    std::fprintf(stderr, "warning: %s\n", text.c_str());
  }
};

long peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane_bench WORKDIR [REPEATS]\n");
    return 2;
  }
  const fs::path dir = argv[1];
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  fs::create_directories(dir);
  const fs::path table = dir / "largest_table.txt";
  if (!fs::exists(table)) {
    std::printf("generating %s ...\n", table.c_str());
    write_table(table);
  }
  const double megabytes = static_cast<double>(fs::file_size(table)) / 1e6;
  const double records = 50.0 * 50.0 * 402.0;
  {
    korvane::FileSink control(1, (dir / "korvane.dat").string());
    control.open_truncate();
    control.write(
        "largest table\nbenchmark\nlargest_table.txt\n2\n0 0 0\n7\n1\n0 0 0\n0.2\n0.024\n1.0\n"
        "0.001\n25 25 201\n");
    control.close();
  }
  fs::current_path(dir);
  std::printf("table: %.1f MB, %.0f records of 9 values\n", megabytes, records);

  for (int r = 0; r < repeats; ++r) {
    double scan, load, unfold, regrid, output, phases;
    NoWarnings warnings;
    {
      korvane::StorePtr store = korvane::make_store();
      FieldStore& s = *store;
      korvane::StringSink log_text;
      korvane::ListWriter log(log_text);

      auto start = Clock::now();
      korvane::read_control_file(s);
      korvane::probe_table(s, log);
      auto t = Clock::now();
      korvane::find_input_grid(s, log);
      scan = seconds_since(t);
      korvane::check_input_grid(s);
      korvane::shift_z(s, log);
      t = Clock::now();
      korvane::fill_grid(s, warnings);
      load = seconds_since(t);
      t = Clock::now();
      korvane::scale_field(s);
      korvane::unfold_symmetry(s);
      korvane::centre_z(s, log);
      unfold = seconds_since(t);
      t = Clock::now();
      korvane::setup_output_grid(s, log);
      korvane::transfer_field(s, log);
      regrid = seconds_since(t);
      t = Clock::now();
      korvane::write_field_file(s, log, warnings);
      output = seconds_since(t);
      phases = seconds_since(start);
    }
    // The same conversion through the driver, as the tool runs it.
    korvane::StorePtr fresh = korvane::make_store();
    auto t = Clock::now();
    korvane::RunOutcome outcome = korvane::run_conversion(*fresh, warnings);
    const double whole = seconds_since(t);
    if (outcome.status != 0) {
      std::fprintf(stderr, "%s\n", outcome.message.c_str());
      return 1;
    }
    std::printf(
        "run %d: scan %.3f s (%.0f MB/s, %.2f M records/s)  load %.3f s (%.0f MB/s, %.2f M "
        "records/s)\n       scale+unfold %.3f s  interpolate %.3f s  write format 1 %.3f s  phases "
        "%.3f s  "
        "whole run %.3f s\n",
        r + 1, scan, megabytes / scan, records / scan / 1e6, load, megabytes / load,
        records / load / 1e6, unfold, regrid, output, phases, whole);
  }
  std::printf("peak resident memory: %.1f MB (the field store is %.1f MB)\n",
              peak_rss_kib() / 1024.0, sizeof(FieldStore) / 1048576.0);
  return 0;
}
