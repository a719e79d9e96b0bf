// A whole run on an arbitrary control file and table, in a scratch folder.
//
// The input is the control file, the line "--table--", then the table (without that line
// the whole input is the control file and the table is empty). Control files that hold a
// '/' are skipped so that no run reaches outside the scratch folder (a table named
// /dev/zero or /dev/stdin would block the fuzzer, not korvane).
//
// Each run must end with status 0 (a complete field file and no error text), 1 (a fixed
// fatal message) or 2 (an error naming a unit); after a status other than 0 no field file
// may exist, after any run no temporary file, and the log starts with its mu0 record.
// The run is made twice from a clean folder and a zero store, once on one thread and once
// on three: both must give the same status, messages, log and field file.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "driver/conversion.h"
#include "fuzz_support.h"

using namespace korvane;
using korvane::fuzz::require;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view separator = "\n--table--\n";

class CollectedWarnings : public Warnings {
 public:
  void warn(const std::string& text) override {
    require(text.find('\n') == std::string::npos, "a warning spans more than one line");
    texts += text + "\n";
  }
  std::string texts;
};

struct Result {
  RunOutcome outcome;
  std::string warnings;
  std::string log;
  std::vector<std::pair<std::string, std::string>> field_files;
};

Result run_once(std::string_view control, std::string_view table, int threads) {
  fuzz::clear_scratch();
  fuzz::write_bytes(fuzz::scratch() / "korvane.dat", control);
  fuzz::write_bytes(fuzz::scratch() / "table.txt", table);
  fuzz::reset_store();

  Result result;
  CollectedWarnings warnings;
  fuzz::in_scratch([&] { result.outcome = run_conversion(fuzz::store(), warnings, threads); });
  result.warnings = warnings.texts;
  result.log = fuzz::read_bytes(fuzz::scratch() / "korvane.log");
  for (const auto& entry : fs::directory_iterator(fuzz::scratch())) {
    const std::string name = entry.path().filename().string();
    require(name.find(".partial-") == std::string::npos, "a temporary file was left behind");
    if (name.rfind("eh_EMS.#", 0) == 0) {
      result.field_files.emplace_back(name, fuzz::read_bytes(entry.path()));
    }
  }
  return result;
}

// The field file of a complete run has exactly the shape its control values give: the
// record lengths of format 0, or text lines of at most 80 characters, each starting with a
// blank and ending in CR LF.
void check_field_file(const FieldStore& s, const std::string& bytes) {
  if (s.ifmt == 0) {
    const std::size_t nodes = static_cast<std::size_t>(s.Nox) * s.Noy * s.Noz;
    const std::size_t arrays = s.ifield == 2 ? 6 : (s.ifield == 0 || s.ifield == 1) ? 3 : 0;
    const std::size_t expected = (20 + 8) + (12 + 8) + (8 * static_cast<std::size_t>(s.Nox) + 8) +
                                 (8 * static_cast<std::size_t>(s.Noy) + 8) +
                                 (8 * static_cast<std::size_t>(s.Noz) + 8) +
                                 arrays * (8 * nodes + 8) + (4 + 8);
    require(bytes.size() == expected, "a format 0 file of the wrong length");
    return;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    require(end != std::string::npos, "a text field file line without CR LF");
    require(end - start <= 80 && bytes[start] == ' ', "a text field file line out of form");
    start = end + 2;
  }
  require(!bytes.empty(), "an empty text field file");
}

void check(const Result& r) {
  const RunOutcome& o = r.outcome;
  require(o.status == 0 || o.status == 1 || o.status == 2, "a status outside 0, 1, 2");
  require(r.log.rfind("  mu0 = ", 0) == 0, "the log does not start with the mu0 record");
  const bool summary = r.log.find(" d_elm, aper, k_s_EH= ") != std::string::npos;
  require(summary == (o.status == 0), "the summary is logged exactly when the run completes");
  if (o.status == 0) {
    require(o.message.empty(), "a normal end with an error text");
    require(r.field_files.size() == 1, "a normal end without exactly one field file");
    check_field_file(fuzz::store(), r.field_files.front().second);
  } else {
    require(r.field_files.empty(), "a failed run left a field file");
  }
  if (o.status == 1) require(fuzz::is_fatal_message(o.message), "an unknown fatal message");
  if (o.status == 2) {
    require(o.message.rfind("korvane: unit ", 0) == 0, "an error that names no unit");
    require(r.log.find(o.message) == std::string::npos, "the error text went into the log");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find(separator);
  const std::string_view control = input.substr(0, cut);
  const std::string_view table =
      cut == std::string_view::npos ? std::string_view() : input.substr(cut + separator.size());
  if (control.find('/') != std::string_view::npos) return -1;

  const Result first = run_once(control, table, 1);
  check(first);
  const Result second = run_once(control, table, 3);
  require(second.outcome.status == first.outcome.status &&
              second.outcome.message == first.outcome.message,
          "two runs on the same input ended differently");
  require(second.warnings == first.warnings, "two runs on the same input warned differently");
  require(second.log == first.log, "two runs on the same input wrote different logs");
  require(second.field_files == first.field_files,
          "two runs on the same input wrote different field files");
  return 0;
}
