// korvane-prepare's export reader on arbitrary exports: the header, the columns and
// units, the mesh analysis, the choice of part and symmetry, and the writing of the table
// and the control file.
//
// The first input byte picks the options (units named or not, part, codes named or not,
// kept symmetry); the rest is the export. Every input must end in a written pair of files
// whose control file the converter reads back and whose table holds one line per record,
// or in a refusal or an input error, leaving no file and no temporary behind.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "control/control_file.h"
#include "fuzz_support.h"
#include "prepare/prepare.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

using namespace korvane;
using korvane::fuzz::require;

namespace {

prepare::Options options_for(std::uint8_t preset, const std::filesystem::path& dir) {
  prepare::Options o;
  o.export_path = (fuzz::scratch() / "export.txt").string();
  o.dir = dir.string();
  o.force = true;
  if (preset & 1) o.length_unit = "mm";
  if (preset & 2) o.field_unit = (preset & 4) ? "A/m" : "V/m";
  if (preset & 8) o.part = (preset & 16) ? prepare::Part::imaginary : prepare::Part::real;
  if (preset & 32) o.symmetry = std::array<int, 3>{preset % 3, (preset >> 1) % 3, 0};
  o.unfold = (preset & 64) != 0;
  o.tolerance = (preset & 128) ? 0.1 : 1e-3;
  return o;
}

bool only_outputs_in(const std::filesystem::path& dir, bool written) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name != "table.txt" && name != "korvane.dat") return false;
    ++files;
  }
  return files == (written ? 2 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzz::clear_scratch();
  const std::filesystem::path out = fuzz::scratch() / "out";
  std::filesystem::create_directories(out);
  fuzz::write_bytes(fuzz::scratch() / "export.txt",
                    std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const prepare::Options o = options_for(data[0], out);
  bool written = false;
  try {
    prepare::Plan plan = prepare::plan_preparation(o);
    require(plan.scan.records == static_cast<long>(plan.scan.axis[0].count) *
                                     plan.scan.axis[1].count * plan.scan.axis[2].count,
            "the records do not fill the mesh");
    prepare::write_preparation(plan, o);
    written = true;
    (void)prepare::report_text(plan);
    (void)prepare::report_json(plan);
    fuzz::reset_store();
    FieldStore& s = fuzz::store();
    StringSink log_text;
    ListWriter log(log_text);
    fuzz::IgnoredWarnings warnings;
    read_control_file(s, RunContext("korvane", log, warnings), (out / "korvane.dat").string());
    check_control_values(s);
    const std::string table = fuzz::read_bytes(out / "table.txt");
    long lines = 0;
    for (char c : table) lines += c == '\n';
    require(lines == plan.scan.records, "the table does not hold one line per record");
  } catch (const prepare::Refusal&) {
  } catch (const IoError& error) {
    require(!written, "the drafted control file does not read back");
    (void)error;
  } catch (const FatalStop&) {
    require(false, "the drafted control file fails the converter's checks");
  }
  require(only_outputs_in(out, written), "a file or temporary is left after a refusal");
  return 0;
}
