#include "inspect/cli/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "fieldfile/field_reader.h"
#include "driver/run_team.h"
#include "driver/source_table.h"
#include "inspect/analysis/axis.h"
#include "inspect/analysis/checks.h"
#include "inspect/analysis/compare.h"
#include "inspect/analysis/field_set.h"
#include "inspect/analysis/source.h"
#include "inspect/analysis/summary.h"
#include "inspect/analysis/unfolded_map.h"
#include "inspect/cli/options.h"
#include "inspect/render/export.h"
#include "inspect/render/openpmd.h"
#include "inspect/render/report_page.h"
#include "inspect/render/svg.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"
#include "util/replacing_file.h"

namespace korvane::inspect {
namespace {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file written through stdio's buffer under a temporary name in the same folder, which
// takes the final name only when everything is written: a failure leaves an earlier file
// of that name as it was, and no temporary. Every failure is an OutputError naming the file.
class OutputFile : public ByteSink {
 public:
  explicit OutputFile(const std::string& name) : replacing_(name) {
    if (const int error = replacing_.create()) fail("cannot create", error);
    const int fd = replacing_.release();
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      const int error = errno;
      ::close(fd);
      fail("cannot create", error);
    }
  }
  ~OutputFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(const char* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) != size) fail("cannot write", errno);
  }
  using ByteSink::write;

  void close() {
    if (std::fclose(std::exchange(file_, nullptr)) != 0) fail("cannot write", errno);
    if (const int error = replacing_.commit()) {
      if (replacing_.folder_unsynced()) {
        throw OutputError("wrote '" + printable(replacing_.final_name()) + "', but its folder '" +
                          printable(replacing_.folder()) +
                          "' cannot be flushed to the disk: " + std::strerror(error));
      }
      fail("cannot create", error);
    }
  }

 private:
  [[noreturn]] void fail(const char* action, int error) const {
    const std::string why =
        error == EINVAL && replacing_.final_name().find('\0') != std::string::npos
            ? "a file name cannot hold a NUL byte"
            : std::strerror(error);
    throw OutputError(std::string(action) + " '" + printable(replacing_.final_name()) +
                      "': " + why);
  }
  ReplacingFile replacing_;
  std::FILE* file_ = nullptr;
};

// Writes `name` through `write` and reports it, with `what` after its name when not empty.
template <class Write>
void write_file(const std::string& name, std::string& out, Write&& write,
                const std::string& what = "") {
  OutputFile file(name);
  write(file);
  file.close();
  out += "wrote " + name + (what.empty() ? "" : ": " + what) + "\n";
}

// One run on one field file: what its steps share. Each step reads the command line and
// the map, adds to the report and the exit status, and keeps what a later step reads.
struct Inspection {
  Inspection(const Options& options, const InspectedFile& inspected, std::string& report)
      : o(options), file(inspected), out(report) {}

  const Options& o;
  const InspectedFile& file;
  std::string& out;
  std::string command;  // the command line, as the page's footer shows it
  int status = 0;
  std::optional<CheckReport> checks;       // --check's findings
  std::vector<AxisProfile> profiles;       // --axis's profiles, for the pictures' gradients
  std::optional<SourceTable> table;        // --source's table as korvane reads it
  std::optional<SourceComparison> source;  // and the map measured against it
  TaskPool* team = nullptr;                // the run's thread team
  bool files_begun = false;                // the blank line before the files written is out
};

// The blank line that sets the files written apart from the report, before the first.
void begin_files(Inspection& run) {
  if (run.files_begun) return;
  run.out += "\n";
  run.files_begun = true;
}

void summary_step(Inspection& run) { run.out += summary_report(run.file); }

// --report runs the checks too: its page shows them, and its status is theirs.
void check_step(Inspection& run) {
  if (!run.o.check && run.o.report.empty()) return;
  run.checks = check_report(run.file, run.o.parity_tolerance);
  run.out += run.checks->text;
  if (run.checks->fault) run.status = 1;
}

void compare_step(Inspection& run) {
  const Options& o = run.o;
  if (o.compare.empty()) return;
  const std::unique_ptr<FieldMap> other_map = read_field_file(o.compare, o.triple);
  const InspectedFile other{o.compare, *other_map};
  const CompareReport compared = compare_files(run.file, other, o.tolerance);
  run.out += compared.text;
  if (compared.differs) run.status = 1;
}

void axis_step(Inspection& run) {
  const Options& o = run.o;
  if (o.axis.empty()) return;
  const UnfoldedMap unfolded(run.file.map);
  AxisReach x, y;
  try {
    x = reach_axis(unfolded, 0);
    y = reach_axis(unfolded, 1);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("file '" + printable(o.file) + "': " + e.what());
  }
  run.profiles = axis_profiles(unfolded, x, y);
  run.out += axis_report(run.file, unfolded, x, y, run.profiles);
  run.out += "\n";
  write_file(o.axis, run.out, [&](ByteSink& sink) {
    write_axis_csv(run.file, unfolded, x, y, run.profiles, sink);
  });
}

void pictures_step(Inspection& run) {
  const std::string& prefix = run.o.svg;
  if (prefix.empty()) return;
  begin_files(run);
  const InspectedFile& file = run.file;
  for (const FieldSet& set : field_sets(file.map)) {
    write_file(prefix + "_" + set.letter + "_axis.svg", run.out,
               [&](ByteSink& sink) { sink.write(axis_plot_svg(file, set)); });
    write_file(prefix + "_" + set.letter + "_maps.svg", run.out,
               [&](ByteSink& sink) { sink.write(plane_maps_svg(file, set)); });
  }
  for (const AxisProfile& p : run.profiles) {
    write_file(prefix + "_" + p.set.letter + "_axis_gradient.svg", run.out, [&](ByteSink& sink) {
      sink.write(axis_gradient_svg(file, p.set, p.dfy_dx, p.dfx_dy));
    });
  }
  if (file.map.sets == FieldSets::none) run.out += "no field components: no pictures written\n";
}

// What the VTK and CSV files hold, when it is not the map as stored.
std::string unfolded_text(const UnfoldedMap& mesh) {
  const std::string planes = mesh.planes();
  if (planes.empty()) return "";
  return "the map unfolded over " + planes + ", " + std::to_string(mesh.count(0)) + " x " +
         std::to_string(mesh.count(1)) + " x " + std::to_string(mesh.count(2)) + " nodes";
}

void exports_step(Inspection& run) {
  const Options& o = run.o;
  if (o.vtk.empty() && o.csv.empty()) return;
  begin_files(run);
  const UnfoldedMap mesh(run.file.map);
  if (!o.vtk.empty()) {
    write_file(o.vtk, run.out, [&](ByteSink& sink) { write_vtk(run.file, mesh, sink); },
               unfolded_text(mesh));
  }
  if (!o.csv.empty()) {
    write_file(o.csv, run.out, [&](ByteSink& sink) { write_csv(mesh, sink); },
               unfolded_text(mesh));
  }
}

void openpmd_step(Inspection& run) {
  if (run.o.openpmd.output.empty()) return;
  begin_files(run);
  run.out += write_openpmd(run.file, run.o.openpmd);
}

void source_step(Inspection& run) {
  const Options& o = run.o;
  if (o.source.empty()) return;
  run.source = compare_with_source(run.file.map, *run.table, o.source_tolerance, run.team);
  run.out += "\n";
  run.out += render_source_report(*run.source, *run.table, o.source_tolerance);
  if (run.source->fault) run.status = 1;
}

// The page of --report, from what the steps before found; the on-axis profile is taken
// here when --axis did not take it.
void report_step(Inspection& run) {
  const Options& o = run.o;
  if (o.report.empty()) return;
  std::vector<AxisProfile> profiles = run.profiles;
  std::string axis_note;
  try {
    const UnfoldedMap unfolded(run.file.map);
    const AxisReach x = reach_axis(unfolded, 0), y = reach_axis(unfolded, 1);
    if (profiles.empty()) profiles = axis_profiles(unfolded, x, y);
    axis_note = "The axis: " + x.how + "; " + y.how + ".";
  } catch (const std::runtime_error& e) {
    axis_note = std::string("No on-axis profile: ") + e.what() + ".";
  }
  const ReportContext context{run.file,
                              *run.checks,
                              profiles,
                              axis_note,
                              run.source ? &*run.source : nullptr,
                              run.table ? &*run.table : nullptr,
                              o.source_tolerance,
                              run.command};
  begin_files(run);
  write_file(o.report, run.out, [&](ByteSink& sink) { sink.write(report_page(context)); });
}

// The steps of a run, one per group of options, in the order of the report. Each does
// nothing when its options are not given. --source comes last but for the page, which
// shows its figure, so that its verdict closes the report.
constexpr void (*steps[])(Inspection&) = {
    summary_step, check_step,   compare_step, axis_step,   pictures_step,
    exports_step, openpmd_step, source_step,  report_step,
};

// The command line as a shell takes it back: each argument quoted where it must be.
std::string command_line(const std::vector<std::string>& args) {
  std::string line = "korvane-inspect";
  for (const std::string& arg : args) {
    const bool plain = !arg.empty() && arg.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                             "abcdefghijklmnopqrstuvwxyz"
                                                             "0123456789_./=:,+-#@%") ==
                                           std::string::npos;
    if (plain) {
      line += " " + arg;
      continue;
    }
    line += " '";
    for (const char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += "'";
  }
  return line;
}

}  // namespace

int run_inspect(const std::vector<std::string>& args, std::string& out, std::string& err) {
  try {
    const Options o = parse_options(args);
    if (o.help) {
      out += usage;
      out += std::string("\nWriting an openPMD field mesh (HDF5):\n") + openpmd_usage;
      return 0;
    }
    if (o.version) {
      out += std::string("korvane-inspect ") + KORVANE_VERSION + "\n";
      return 0;
    }
    // The table first: without --field, a map of one triple holds the set its control
    // file's ifield names.
    const std::unique_ptr<TaskPool> team = run_team();
    std::optional<SourceTable> table;
    TripleSet triple = o.triple;
    if (!o.source.empty()) {
      table = read_source_table(o.source, "korvane-inspect", team.get());
      if (!o.field_given) triple = table->ifield == 1 ? TripleSet::magnetic : TripleSet::electric;
    }
    const std::unique_ptr<FieldMap> map = read_field_file(o.file, triple);
    const InspectedFile file{o.file, *map};
    if (o.field_given && (map->format == 2 || map->components != 3)) {
      err +=
          "korvane-inspect: warning: --field names the three component records of a "
          "format 0 or 1 file; this file says what it holds, --field is ignored\n";
    }
    Inspection run{o, file, out};
    run.command = printable(command_line(args));
    run.table = std::move(table);
    run.team = team.get();
    for (void (*step)(Inspection&) : steps) step(run);
    return run.status;
  } catch (const UsageError& e) {
    err += std::string("korvane-inspect: ") + e.what() + " (see --help)\n";
  } catch (const SourceError& e) {
    err += std::string(e.what()) + "\n";  // already in the tool's words
  } catch (const std::exception& e) {
    err += std::string("korvane-inspect: ") + e.what() + "\n";
  }
  return 2;
}

}  // namespace korvane::inspect
