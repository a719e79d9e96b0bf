// The table phases on arbitrary tables, by the run's phase list from the probe to the
// transfer: probe, grid scan and its checks, Z shift, load, scaling, unfolding, Z centring,
// both grids and the transfer onto the output grid.
//
// The first input byte picks one of a fixed set of valid controls (export symmetry codes
// and ifield; the output grid is 3 x 3 x 4 over aper 1 and d_elm 2); the rest is the table.
// Every input must end in a transfer, an input error naming unit 2, or a fatal message;
// nothing may be read or written outside the store's arrays.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/phase_list.h"
#include "fuzz_support.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

using namespace korvane;
using korvane::fuzz::require;

namespace {

void set_control(FieldStore& s, std::uint8_t preset, const std::string& table) {
  s.fname.fill(' ');
  std::memcpy(s.fname.data(), table.data(), table.size());
  s.isym_x = (preset & 3) % 3;
  s.isym_y = (preset >> 2 & 3) % 3;
  s.isym_z = (preset >> 4 & 3) % 3;
  const int kind = preset >> 6;
  s.ifield = kind == 3 ? 0 : kind;
  // The last kind keeps every exported plane in the output: nothing is unfolded.
  s.ksym_x = kind == 3 ? s.isym_x : 0;
  s.ksym_y = kind == 3 ? s.isym_y : 0;
  s.ksym_z = kind == 3 ? s.isym_z : 0;
  s.nfile = 7;
  s.ifmt = 1;
  s.d_elm = 2.0;
  s.aper = 1.0;
  s.fscale = 1.0;
  s.cscale = 1.0;
  s.Nox = 3;
  s.Noy = 3;
  s.Noz = 4;
}

void check_log(const std::string& log) {
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    require(end != std::string::npos, "a log line does not end in CR LF");
    require(end - start <= 80, "a log line is longer than 80 characters");
    require(log[start] == ' ', "a log line does not start with a blank");
    start = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string table = (fuzz::scratch() / "table.txt").string();
  fuzz::write_bytes(table, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  fuzz::reset_store();
  FieldStore& s = fuzz::store();
  set_control(s, data[0], table);

  StringSink sink;
  ListWriter log(sink);
  fuzz::IgnoredWarnings warnings;
  RunContext run("korvane", log, warnings);
  RunPlan plan;
  plan.first = Phase::probe;
  plan.last = Phase::transfer;
  plan.after = [](Phase phase, const FieldStore& done) {
    if (phase == Phase::probe) {
      require(done.ireim >= 1 && done.ireim <= 3, "the probe left ireim outside 1..3");
    } else if (phase == Phase::input_grid) {
      require(done.Nix >= 1 && done.Nix <= Nixmax && done.Niy >= 1 && done.Niy <= Niymax &&
                  done.Niz >= 1 && done.Niz <= Nizmax,
              "an input grid outside the arrays passed the checks");
      require(done.dXi > 0 && done.dYi > 0 && done.dZi > 0, "a step that is not positive passed");
    } else if (phase == Phase::unfolding) {
      require(done.Nix <= Nixmax && done.Niy <= Niymax && done.Niz <= Nizmax,
              "the unfolded grid is larger than the arrays");
    }
  };
  try {
    run_phase_list(s, run, plan);
  } catch (const IoError& error) {
    require(fuzz::names_unit(error.what(), 2), "a table error does not name unit 2");
  } catch (const FatalStop& stop) {
    require(fuzz::is_fatal_message(stop.what()), "an unknown fatal message");
  }
  check_log(sink.text);
  return 0;
}
