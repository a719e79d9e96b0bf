#include "inspect/cli/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include "fieldfile/field_reader.h"
#include "driver/source_table.h"
#include "inspect/analysis/axis.h"
#include "inspect/analysis/checks.h"
#include "inspect/analysis/compare.h"
#include "inspect/analysis/field_set.h"
#include "inspect/analysis/source.h"
#include "inspect/analysis/summary.h"
#include "inspect/cli/options.h"
#include "inspect/render/export.h"
#include "inspect/render/openpmd.h"
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
    if (const int error = replacing_.commit()) fail("cannot create", error);
  }

 private:
  [[noreturn]] void fail(const char* action, int error) const {
    const std::string why = error == EINVAL && replacing_.final_name().find('\0') != std::string::npos
                                ? "a file name cannot hold a NUL byte"
                                : std::strerror(error);
    throw OutputError(std::string(action) + " '" + printable(replacing_.final_name()) + "': " + why);
  }
  ReplacingFile replacing_;
  std::FILE* file_ = nullptr;
};

template <class Write>
void write_file(const std::string& name, std::string& out, Write&& write) {
  OutputFile file(name);
  write(file);
  file.close();
  out += "wrote " + name + "\n";
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
    const std::unique_ptr<FieldMap> map = read_field_file(o.file, o.triple);
    const InspectedFile file{o.file, *map};
    if (o.field_given && (map->format == 2 || map->components != 3)) {
      err +=
          "korvane-inspect: warning: --field names the three component records of a "
          "format 0 or 1 file; this file says what it holds, --field is ignored\n";
    }
    int status = 0;
    out += summary_report(file);
    if (o.check) {
      const CheckReport checks = check_report(file, o.parity_tolerance);
      out += checks.text;
      if (checks.fault) status = 1;
    }
    if (!o.compare.empty()) {
      const std::unique_ptr<FieldMap> other_map = read_field_file(o.compare, o.triple);
      const InspectedFile other{o.compare, *other_map};
      const CompareReport compared = compare_files(file, other, o.tolerance);
      out += compared.text;
      if (compared.differs) status = 1;
    }
    std::vector<AxisProfile> profiles;
    if (!o.axis.empty()) {
      AxisReach x, y;
      try {
        x = reach_axis(*map, 0);
        y = reach_axis(*map, 1);
      } catch (const std::runtime_error& e) {
        throw std::runtime_error("file '" + printable(o.file) + "': " + e.what());
      }
      profiles = axis_profiles(file, x, y);
      out += axis_report(file, x, y, profiles);
      out += "\n";
      write_file(o.axis, out, [&](ByteSink& sink) { write_axis_csv(file, x, y, profiles, sink); });
    }
    if (!o.svg.empty() || !o.vtk.empty() || !o.csv.empty() || !o.openpmd.output.empty()) {
      out += "\n";
    }
    if (!o.svg.empty()) {
      for (const FieldSet& set : field_sets(*map)) {
        write_file(o.svg + "_" + set.letter + "_axis.svg", out,
                   [&](ByteSink& sink) { sink.write(axis_plot_svg(file, set)); });
        write_file(o.svg + "_" + set.letter + "_maps.svg", out,
                   [&](ByteSink& sink) { sink.write(plane_maps_svg(file, set)); });
      }
      for (const AxisProfile& p : profiles) {
        write_file(o.svg + "_" + p.set.letter + "_axis_gradient.svg", out, [&](ByteSink& sink) {
          sink.write(axis_gradient_svg(file, p.set, p.dfy_dx, p.dfx_dy));
        });
      }
      if (map->sets == FieldSets::none) out += "no field components: no pictures written\n";
    }
    if (!o.vtk.empty()) write_file(o.vtk, out, [&](ByteSink& sink) { write_vtk(file, sink); });
    if (!o.csv.empty()) write_file(o.csv, out, [&](ByteSink& sink) { write_csv(file, sink); });
    if (!o.openpmd.output.empty()) out += write_openpmd(file, o.openpmd);
    // Last, so that its verdict is the report's last line.
    if (!o.source.empty()) {
      const SourceTable table = read_source_table(o.source, "korvane-inspect");
      const SourceComparison compared = compare_with_source(*map, table, o.source_tolerance);
      out += "\n";
      out += render_source_report(compared, table, o.source_tolerance);
      if (compared.fault) status = 1;
    }
    return status;
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
