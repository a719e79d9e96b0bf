// Times whole conversions of tables of about 1, 10, 50 and 143 MB (the largest the field
// store takes: 50 x 50 x 402 records of 9 values), each interpolated onto the largest
// output grid (25 x 25 x 201) and written in format 1 with both field sets. Beside each
// conversion, in the same run, it times a bare two-pass std::from_chars read of the same
// file (three values a line, then nine) as the baseline. Each figure is the median of the
// repeats, run in turn so that a busy machine slows all of them alike. For the largest
// table it also times each phase, and the whole korvane process (started, converting,
// ended) beside the same baseline.
//
//   korvane_bench WORKDIR [REPEATS [KORVANE...]]   KORVANE: the binaries to time as whole
//                                                  processes (default: the one built here)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bare_read.h"
#include "driver/conversion.h"
#include "driver/phase_list.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace fs = std::filesystem;
using korvane::FieldStore;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct TableSize {
  int nx, ny, nz;
};

// x, y, z in mm over the same extent whatever the counts, z fastest, then y, then x; a
// smooth field in 10 significant digits.
void write_table(const fs::path& path, TableSize n) {
  korvane::FileSink out("korvane_bench", 2, path.string());
  out.open_truncate();
  char line[256];
  for (int i = 0; i < n.nx; ++i) {
    for (int j = 0; j < n.ny; ++j) {
      for (int k = 0; k < n.nz; ++k) {
        const double x = -24.5 + 49.0 * i / (n.nx - 1), y = -24.5 + 49.0 * j / (n.ny - 1),
                     z = -100.25 + 200.5 * k / (n.nz - 1);
        const double v[6] = {1e3 * y * (1 + 1e-4 * z),
                             1e3 * x * (1 - 1e-4 * z),
                             0.5 * x * y,
                             -2e-3 * x,
                             3e-3 * y,
                             1e-2 * z};
        int c = std::snprintf(line, sizeof line, "  %9.4f  %9.4f  %9.4f", x, y, z);
        for (double value : v) c += std::snprintf(line + c, sizeof line - c, "  % .9e", value);
        line[c++] = '\n';
        out.write(line, static_cast<std::size_t>(c));
      }
    }
  }
  out.close();
}

// The baseline: the first three values of each line, then all nine.
double bare_two_pass_read(const fs::path& path) {
  return korvane::bench::bare_read(path, 0, {3, 9});
}

class PrintedWarnings : public korvane::Warnings {
 public:
  void warn(const std::string& text) override {
    std::fprintf(stderr, "warning: %s\n", text.c_str());
  }
};

double whole_run(int threads) {
  PrintedWarnings warnings;
  korvane::StorePtr store = korvane::make_store();
  const auto start = Clock::now();
  const korvane::RunOutcome outcome = korvane::run_conversion(*store, warnings, threads);
  const double seconds = seconds_since(start);
  if (outcome.status != 0) {
    std::fprintf(stderr, "%s\n", outcome.message.c_str());
    std::exit(1);
  }
  return seconds;
}

// The phases of one conversion, on a team of `threads`, timed by the phase list's hook in
// five groups: the scan (which parses and places the load's records as it counts them), the
// rest of the load, scaling and unfolding, interpolation, field file.
struct PhaseTimes {
  std::vector<double> t[5];
};

int phase_group(korvane::Phase phase) {
  using korvane::Phase;
  switch (phase) {
    case Phase::input_grid:
      return 0;
    case Phase::load:
      return 1;
    case Phase::scaling:
    case Phase::unfolding:
    case Phase::z_centring:
      return 2;
    case Phase::output_grid:
    case Phase::transfer:
      return 3;
    case Phase::field_file:
      return 4;
    default:
      return -1;
  }
}

void time_phases(int threads, PhaseTimes& times) {
  PrintedWarnings warnings;
  korvane::StorePtr store = korvane::make_store();
  const std::unique_ptr<korvane::TaskPool> team = korvane::make_team(threads);
  korvane::StringSink log_text;
  korvane::ListWriter log(log_text);
  korvane::RunContext run("korvane", log, warnings, team.get());
  double group[5] = {};
  korvane::RunPlan plan;
  auto t = Clock::now();
  plan.after = [&](korvane::Phase phase, const FieldStore&) {
    const int g = phase_group(phase);
    if (g >= 0) group[g] += seconds_since(t);
    t = Clock::now();
  };
  korvane::run_phase_list(*store, run, plan);
  for (int g = 0; g < 5; ++g) times.t[g].push_back(group[g]);
}

// The whole process of each binary on the table in `folder`, beside the baseline, in turn.
void time_processes(const fs::path& folder, const std::vector<std::string>& binaries, int repeats) {
  std::vector<double> baseline;
  std::vector<std::vector<double>> process(binaries.size());
  double sink = 0.0;
  for (int r = 0; r < repeats; ++r) {
    auto t = Clock::now();
    sink += bare_two_pass_read(folder / "table.txt");
    baseline.push_back(seconds_since(t));
    for (std::size_t b = 0; b < binaries.size(); ++b) {
      t = Clock::now();
      const int status =
          korvane::bench::run_process({binaries[b], "-C", folder.string()}, folder / "process.out");
      process[b].push_back(seconds_since(t));
      if (status != 0) {
        std::fprintf(stderr, "%s ended with status %d\n", binaries[b].c_str(), status);
        std::exit(1);
      }
    }
  }
  const double base = median(baseline);
  std::printf(
      "\nwhole process of the largest table, medians; baseline %.3f s%s\n\n"
      "| korvane process | time | ratio |\n|---|---|---|\n",
      base, sink == 0.0 ? " " : "");
  for (std::size_t b = 0; b < binaries.size(); ++b) {
    const double p = median(process[b]);
    std::printf("| %s | %.3f s | %.2f |\n", binaries[b].c_str(), p, p / base);
  }
}

void print_phases(int threads, const PhaseTimes& times) {
  std::printf("| %d | %.3f s | %.3f s | %.3f s | %.3f s | %.3f s |\n", threads, median(times.t[0]),
              median(times.t[1]), median(times.t[2]), median(times.t[3]), median(times.t[4]));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane_bench WORKDIR [REPEATS [KORVANE...]]\n");
    return 2;
  }
  const fs::path dir = fs::absolute(argv[1]);
  const int repeats = std::max(1, argc > 2 ? std::atoi(argv[2]) : 7);
  const int threads = korvane::run_threads(std::getenv(korvane::threads_variable));
  fs::create_directories(dir);
  const TableSize sizes[] = {{10, 10, 70}, {20, 20, 175}, {40, 40, 219}, {50, 50, 402}};

  std::printf(
      "median of %d runs; %d thread(s) and 1 thread; baseline: a bare two-pass "
      "std::from_chars read\n\n",
      repeats, threads);
  std::printf(
      "| table | records | baseline | whole run, %d threads | ratio | whole run, 1 thread "
      "| ratio |\n|---|---|---|---|---|---|---|\n",
      threads);
  for (const TableSize& n : sizes) {
    const fs::path folder =
        dir / (std::to_string(n.nx) + "x" + std::to_string(n.ny) + "x" + std::to_string(n.nz));
    fs::create_directories(folder);
    const fs::path table = folder / "table.txt";
    if (!fs::exists(table)) write_table(table, n);
    {
      korvane::FileSink control("korvane_bench", 1, (folder / "korvane.dat").string());
      control.open_truncate();
      control.write(
          "benchmark table\nbenchmark\ntable.txt\n2\n0 0 0\n7\n1\n0 0 0\n0.2\n0.024\n1.0\n"
          "0.001\n25 25 201\n");
      control.close();
    }
    fs::current_path(folder);
    std::vector<double> baseline, parallel, single;
    double sink = 0.0;
    for (int r = 0; r < repeats; ++r) {
      auto t = Clock::now();
      sink += bare_two_pass_read(table);
      baseline.push_back(seconds_since(t));
      parallel.push_back(whole_run(threads));
      single.push_back(whole_run(1));
    }
    const double b = median(baseline), p = median(parallel), s1 = median(single);
    std::printf("| %.1f MB | %d | %.3f s | %.3f s | %.2f | %.3f s | %.2f |%s\n",
                static_cast<double>(fs::file_size(table)) / 1e6, n.nx * n.ny * n.nz, b, p, p / b,
                s1, s1 / b, sink == 0.0 ? " " : "");
  }
  std::printf(
      "\nphases of the largest table (medians):\n\n"
      "| threads | scan and parse | rest of the load | scaling and unfolding | interpolation "
      "| format 1 file |\n"
      "|---|---|---|---|---|---|\n");
  PhaseTimes parallel_phases, single_phases;
  for (int r = 0; r < repeats; ++r) {
    time_phases(threads, parallel_phases);
    time_phases(1, single_phases);
  }
  print_phases(threads, parallel_phases);
  print_phases(1, single_phases);
  std::vector<std::string> binaries(argv + std::min(argc, 3), argv + argc);
  if (binaries.empty()) binaries.push_back(KORVANE_BINARY);
  time_processes(fs::current_path(), binaries, repeats);
  return 0;
}
