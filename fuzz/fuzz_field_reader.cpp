// The field-file reader (formats 0, 1 and 2, told from the content) on arbitrary bytes.
//
// The first input byte picks how a triple of component records is taken (unknown,
// electric, magnetic); the rest is the file. Every input must be read or refused with a
// FieldFileError naming the file, in printable text; a map that is read must describe a grid
// inside the output's capacities, and must survive a round trip: written again in its own
// format and read back, it gives the same bytes a second time (values are kept to the last
// digit).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fieldfile/field_file.h"
#include "fieldfile/field_reader.h"
#include "fieldfile/field_records.h"
#include "fuzz_support.h"
#include "textio/byte_sink.h"

using namespace korvane;
using korvane::fuzz::require;

namespace {

constexpr std::string_view file_name = "eh_EMS.#07";

void check_refusal(const FieldFileError& error) {
  const std::string prefix = "file '" + std::string(file_name) + "'";
  const std::string what = error.what();
  require(what.compare(0, prefix.size(), prefix) == 0, "a refusal does not name the file");
  // A bad value is shown beneath the message with a caret; nothing unprintable gets out.
  for (const char c : what) {
    require(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f),
            "a refusal holds an unprintable byte");
  }
  require(error.record() >= 0 && error.line() >= 0, "a refusal names a negative place");
}

void check_shape(const FieldMap& map) {
  require(map.format >= 0 && map.format <= 2, "a read without a format");
  require(map.Nox >= 1 && map.Nox <= Noxmax && map.Noy >= 1 && map.Noy <= Noymax && map.Noz >= 1 &&
              map.Noz <= Nozmax,
          "a read grid outside the output's capacities");
  require(map.components == 0 || map.components == 3 || map.components == 6,
          "a component count other than 0, 3 or 6");
  require((map.components == 6) == (map.sets == FieldSets::both) &&
              (map.components == 0) == (map.sets == FieldSets::none),
          "the sets found do not match the component count");
}

// The file the writer makes of a map: its values in the process's store, written in the
// map's format with the end marker the writers always write.
std::string written(const FieldMap& map) {
  fuzz::reset_store();
  FieldStore& s = fuzz::store();
  copy_file_values(map, s);
  s.iend = -99;
  StringSink sink;
  write_format(s, map.format, sink);
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const TripleSet triple = static_cast<TripleSet>(data[0] % 3);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::unique_ptr<FieldMap> map;
  try {
    map = read_field_bytes(bytes, file_name, triple);
  } catch (const FieldFileError& error) {
    check_refusal(error);
    return 0;
  }
  check_shape(*map);

  // The writers take the file's own header values; a read derives the rest from them.
  const std::string once = written(*map);
  try {
    const std::unique_ptr<FieldMap> again = read_field_bytes(once, file_name, triple);
    require(again->format == map->format && again->sets == map->sets,
            "a written file reads back as another format or other sets");
    require(written(*again) == once, "a file read and written twice changes");
  } catch (const FieldFileError& error) {
    require(false, error.what());
  }
  return 0;
}
