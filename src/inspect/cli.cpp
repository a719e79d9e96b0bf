#include "inspect/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "inspect/checks.h"
#include "inspect/export.h"
#include "inspect/openpmd.h"
#include "inspect/summary.h"
#include "inspect/svg.h"
#include "output/field_reader.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"

namespace korvane::inspect {
namespace {

constexpr const char* usage =
    "usage: korvane-inspect FILE [--check] [--svg PREFIX] [--vtk FILE] [--csv FILE]\n"
    "                       [--field E|H] [--openpmd OUT.h5 ...]\n"
    "       korvane-inspect --help | --version\n"
    "\n"
    "Reads an output field file of korvane (format 0, 1 or 2, told from its content) and\n"
    "reports its format, grid, header values and, for each field component, minimum,\n"
    "maximum, root-mean-square value and the node of the largest magnitude.\n"
    "\n"
    "  --check         also report the discrete divergence of each field set and the odd\n"
    "                  components on each symmetry plane the file declares\n"
    "  --svg PREFIX    write PREFIX_<set>_axis.svg (the components along z at x = y = 0)\n"
    "                  and PREFIX_<set>_maps.svg (colour maps on the x-z and y-z planes)\n"
    "  --vtk FILE      write the field as legacy VTK structured points (ASCII)\n"
    "  --csv FILE      write one line per node: x, y, z and the components\n"
    "  --field E|H     name the three component records of a format 0 or 1 file, which\n"
    "                  do not say whether they hold the electric or the magnetic field\n"
    "\n"
    "Exit status: 0 done, 2 a file that cannot be read or written, or a wrong command line.\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file written through stdio's buffer; every failure is an OutputError naming it.
class OutputFile : public ByteSink {
 public:
  explicit OutputFile(const std::string& name)
      : name_(name), file_(std::fopen(name.c_str(), "wb")) {
    if (file_ == nullptr) fail("cannot create");
  }
  ~OutputFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(const char* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) != size) fail("cannot write");
  }
  using ByteSink::write;

  void close() {
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) fail("cannot write");
  }

 private:
  [[noreturn]] void fail(const char* action) const {
    throw OutputError(std::string(action) + " '" + printable(name_) + "': " + std::strerror(errno));
  }
  std::string name_;
  std::FILE* file_;
};

struct Options {
  std::string file;
  bool check = false;
  std::string svg, vtk, csv;
  bool field_given = false;
  TripleSet triple = TripleSet::unknown;
  OpenPmdOptions openpmd;
};

Options parse(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t n = 0; n < args.size(); ++n) {
    const std::string& a = args[n];
    auto value = [&](const char* option) -> std::string {
      if (n + 1 >= args.size()) throw UsageError(std::string(option) + " needs a value");
      return args[++n];
    };
    if (a == "--check") {
      o.check = true;
    } else if (a == "--svg") {
      o.svg = value("--svg");
    } else if (a == "--vtk") {
      o.vtk = value("--vtk");
    } else if (a == "--csv") {
      o.csv = value("--csv");
    } else if (a == "--field") {
      const std::string f = value("--field");
      if (f != "E" && f != "H")
        throw UsageError("--field takes E or H, not '" + printable(f) + "'");
      o.field_given = true;
      o.triple = f == "E" ? TripleSet::electric : TripleSet::magnetic;
    } else if (is_openpmd_option(a)) {
      // --openpmd and its settings: see openpmd.h.
      const std::string v = value(a.c_str());
      try {
        set_openpmd_option(a, v, o.openpmd);
      } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
      }
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError("unknown option '" + printable(a) + "'");
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      throw UsageError("one field file at a time ('" + printable(o.file) + "', then '" +
                       printable(a) + "')");
    }
  }
  if (o.file.empty()) throw UsageError("no field file named");
  if (o.openpmd.output.empty() && !o.openpmd.first_setting.empty()) {
    throw UsageError(o.openpmd.first_setting + " applies to --openpmd only");
  }
  for (const std::string* name : {&o.svg, &o.vtk, &o.csv, &o.openpmd.output}) {
    if (!name->empty() && *name == o.file) {
      throw UsageError("'" + printable(*name) + "' is the field file itself");
    }
  }
  return o;
}

template <class Write>
void write_file(const std::string& name, std::string& out, Write&& write) {
  OutputFile file(name);
  write(file);
  file.close();
  out += "wrote " + name + "\n";
}

}  // namespace

int run_inspect(const std::vector<std::string>& args, std::string& out, std::string& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out += usage;
    out += std::string("\nWriting an openPMD field mesh (HDF5):\n") + openpmd_usage;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out += std::string("korvane-inspect ") + KORVANE_VERSION + "\n";
    return 0;
  }
  try {
    const Options o = parse(args);
    StorePtr store = make_store();
    InspectedFile file{o.file, read_field_file(o.file, *store, o.triple), *store};
    if (o.field_given && (file.info.format == 2 || file.info.components != 3)) {
      err +=
          "korvane-inspect: warning: --field names the three component records of a "
          "format 0 or 1 file; this file says what it holds, --field is ignored\n";
    }
    out += summary_report(file);
    if (o.check) out += check_report(file);
    if (!o.svg.empty() || !o.vtk.empty() || !o.csv.empty() || !o.openpmd.output.empty()) {
      out += "\n";
    }
    if (!o.svg.empty()) {
      for (const FieldSet& set : field_sets(*store, file.info.sets)) {
        write_file(o.svg + "_" + set.letter + "_axis.svg", out,
                   [&](ByteSink& sink) { sink.write(axis_plot_svg(file, set)); });
        write_file(o.svg + "_" + set.letter + "_maps.svg", out,
                   [&](ByteSink& sink) { sink.write(plane_maps_svg(file, set)); });
      }
      if (file.info.sets == FieldSets::none) out += "no field components: no pictures written\n";
    }
    if (!o.vtk.empty()) write_file(o.vtk, out, [&](ByteSink& sink) { write_vtk(file, sink); });
    if (!o.csv.empty()) write_file(o.csv, out, [&](ByteSink& sink) { write_csv(file, sink); });
    if (!o.openpmd.output.empty()) out += write_openpmd(file, o.openpmd);
    return 0;
  } catch (const UsageError& e) {
    err += std::string("korvane-inspect: ") + e.what() + " (see --help)\n";
  } catch (const std::exception& e) {
    err += std::string("korvane-inspect: ") + e.what() + "\n";
  }
  return 2;
}

}  // namespace korvane::inspect
