// The reader of a run's table that korvane-inspect --source uses, against the converter,
// on arbitrary tables.
//
// The input is the table, written beside a fixed control file (x exported as a half that
// is unfolded, z as a half the output keeps, 3 x 3 x 3 output nodes in format 1). The
// converter runs on both in the scratch folder, then the reader reads them. The reader
// walks the converter's phases up to the z placement, so the two must agree on exactly
// those: the reader accepts a table when the converter got past them (its log holds the
// output grid's first record, whatever stopped it later), with one record per node of the
// exported region (Nix x Niy x Niz before the unfolding) and those counts; otherwise it
// refuses with the converter's own message, spoken by korvane-inspect.
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/conversion.h"
#include "fuzz_support.h"
#include "driver/source_table.h"

using namespace korvane;
using korvane::fuzz::require;

namespace {

constexpr std::string_view control =
    "korvane fuzz\n"
    "the run's table against korvane-inspect --source\n"
    "table.txt\n"
    "0\n"
    "1 0 2\n"
    "7\n"
    "1\n"
    "0 0 2\n"
    "2.0\n"
    "1.0\n"
    "1.0\n"
    "1.0\n"
    "3 3 3\n";

// The first record the converter logs after the phases the reader shares with it.
constexpr std::string_view output_grid_record = " Full input grid ";

constexpr std::string_view program = "korvane-inspect";

// The reader's outcome: its table, or its refusal.
struct Read {
  bool accepted = false;
  std::size_t records = 0;
  std::int32_t counts[3] = {0, 0, 0};
  std::string refusal;
};

Read read_as_source() {
  Read read;
  fuzz::in_scratch([&] {
    try {
      // The one call into the reader: moving it moves only this line and its include.
      const SourceTable table = read_source_table("korvane.dat", program);
      read.accepted = true;
      read.records = table.records.size();
      for (int a = 0; a < 3; ++a) read.counts[a] = table.counts[a];
    } catch (const SourceError& error) {
      read.refusal = error.what();
    }
  });
  return read;
}

// The converter's message without its own prefix, or the fatal message without its
// blanks: what the reader's refusal must carry.
std::string_view carried(std::string_view message) {
  constexpr std::string_view own = "korvane: ";
  if (message.substr(0, own.size()) == own) return message.substr(own.size());
  const std::size_t first = message.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return message.substr(first, message.find_last_not_of(' ') + 1 - first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::clear_scratch();
  fuzz::write_bytes(fuzz::scratch() / "korvane.dat", control);
  fuzz::write_bytes(fuzz::scratch() / "table.txt",
                    std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::reset_store();
  fuzz::IgnoredWarnings warnings;
  RunOutcome outcome;
  fuzz::in_scratch([&] { outcome = run_conversion(fuzz::store(), warnings, 1); });
  const std::string log = fuzz::read_bytes(fuzz::scratch() / "korvane.log");
  const bool imported = log.find(output_grid_record) != std::string::npos;
  require(imported || outcome.status != 0, "a run ended well without the output grid's record");

  const Read read = read_as_source();
  if (imported) {
    require(read.accepted, "the reader refused a table the converter read");
    // The store holds the unfolded grid: an unfolded axis of N nodes (a digit of symcode
    // that is not 0) was exported as (N + 1) / 2, its plane node shared.
    const FieldStore& s = fuzz::store();
    const std::int32_t full[3] = {s.Nix, s.Niy, s.Niz};
    const int code[3] = {s.symcode / 100, s.symcode / 10 % 10, s.symcode % 10};
    std::size_t nodes = 1;
    for (int a = 0; a < 3; ++a) {
      const std::int32_t exported = code[a] != 0 ? (full[a] + 1) / 2 : full[a];
      require(read.counts[a] == exported, "the reader's counts are not the exported region's");
      nodes *= static_cast<std::size_t>(exported);
    }
    require(read.records == nodes,
            "the reader's records are not one per node of the exported region");
  } else {
    require(!read.accepted, "the reader accepted a table the converter refused");
    const std::string_view why = carried(outcome.message);
    require(read.refusal.rfind(std::string(program) + ": ", 0) == 0,
            "a refusal not spoken by korvane-inspect");
    require(!why.empty() && read.refusal.find(why) != std::string::npos,
            "the reader refused with another message than the converter's");
  }
  return 0;
}
