// The control-file phase on arbitrary korvane.dat contents: the read and the checks made
// right after it. Every input must end in values that pass the checks, an input error
// naming unit 1, or one of the fixed fatal messages.
#include <cstdint>
#include <string>
#include <string_view>

#include "control/control_file.h"
#include "fuzz_support.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

using namespace korvane;
using korvane::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = (fuzz::scratch() / "korvane.dat").string();
  fuzz::write_bytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::reset_store();
  FieldStore& s = fuzz::store();
  StringSink log_text;
  ListWriter log(log_text);
  fuzz::IgnoredWarnings warnings;
  const RunContext run("korvane", log, warnings);
  try {
    read_control_file(s, run, path);
    check_control_values(s);
  } catch (const IoError& error) {
    const std::string_view message = error.what();
    require(fuzz::names_unit(message, 1), "a control-file error does not name unit 1");
    return 0;
  } catch (const FatalStop& stop) {
    require(fuzz::is_fatal_message(stop.what()), "an unknown fatal message");
    return 0;
  }
  require(s.Nox >= 2 && s.Nox <= Noxmax && s.Noy >= 2 && s.Noy <= Noymax && s.Noz >= 2 &&
              s.Noz <= Nozmax,
          "output counts outside 2..capacity passed the checks");
  for (std::int32_t code : {s.isym_x, s.isym_y, s.isym_z, s.ksym_x, s.ksym_y, s.ksym_z}) {
    require(code >= 0 && code <= 2, "a symmetry code outside 0..2 passed the checks");
  }
  const std::string name = table_name(s);
  require(name.size() <= static_cast<std::size_t>(name_length), "table name beyond 132");
  require(name.empty() || name.back() != ' ', "the table name keeps a trailing blank");
  return 0;
}
