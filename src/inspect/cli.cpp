#include "inspect/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "inspect/checks.h"
#include "inspect/export.h"
#include "inspect/options.h"
#include "inspect/summary.h"
#include "inspect/svg.h"
#include "output/field_reader.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"

namespace korvane::inspect {
namespace {

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
      return 0;
    }
    if (o.version) {
      out += std::string("korvane-inspect ") + KORVANE_VERSION + "\n";
      return 0;
    }
    StorePtr store = make_store();
    InspectedFile file{o.file, read_field_file(o.file, *store, o.triple), *store};
    if (o.field_given && (file.info.format == 2 || file.info.components != 3)) {
      err +=
          "korvane-inspect: warning: --field names the three component records of a "
          "format 0 or 1 file; this file says what it holds, --field is ignored\n";
    }
    out += summary_report(file);
    if (o.check) out += check_report(file);
    if (!o.svg.empty() || !o.vtk.empty() || !o.csv.empty()) out += "\n";
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
    return 0;
  } catch (const UsageError& e) {
    err += std::string("korvane-inspect: ") + e.what() + " (see --help)\n";
  } catch (const std::exception& e) {
    err += std::string("korvane-inspect: ") + e.what() + "\n";
  }
  return 2;
}

}  // namespace korvane::inspect
