// The field-file reader (formats 0, 1 and 2, told from the content) on arbitrary bytes.
//
// The first input byte picks how a triple of component records is taken (unknown,
// electric, magnetic); the rest is the file. Every input must be read or refused with a
// FieldFileError naming the file, in printable text; a file that is read must describe a grid
// inside the store's capacities, and must survive a round trip: written again in its own format and
// read back, it gives the same bytes a second time (values are kept to the last digit).
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "fieldfile/field_file.h"
#include "fieldfile/field_reader.h"
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

void check_shape(const FieldStore& s, const FieldFileInfo& info) {
  require(info.format >= 0 && info.format <= 2, "a read without a format");
  require(s.Nox >= 1 && s.Nox <= Noxmax && s.Noy >= 1 && s.Noy <= Noymax && s.Noz >= 1 &&
              s.Noz <= Nozmax,
          "a read grid outside the store's capacities");
  require(info.components == 0 || info.components == 3 || info.components == 6,
          "a component count other than 0, 3 or 6");
  require((info.components == 6) == (info.sets == FieldSets::both) &&
              (info.components == 0) == (info.sets == FieldSets::none),
          "the sets found do not match the component count");
}

std::string written(const FieldStore& s, int format) {
  StringSink sink;
  write_format(s, format, sink);
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const TripleSet triple = static_cast<TripleSet>(data[0] % 3);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  FieldStore& s = fuzz::store();
  fuzz::reset_store();
  FieldFileInfo info;
  try {
    info = read_field_bytes(bytes, file_name, s, triple);
  } catch (const FieldFileError& error) {
    check_refusal(error);
    return 0;
  }
  check_shape(s, info);

  // The writers take the file's own header values; a read derives the rest from them.
  s.iend = -99;
  const std::string once = written(s, info.format);
  fuzz::reset_store();
  try {
    const FieldFileInfo again = read_field_bytes(once, file_name, s, triple);
    require(again.format == info.format && again.sets == info.sets,
            "a written file reads back as another format or other sets");
  } catch (const FieldFileError& error) {
    require(false, error.what());
  }
  s.iend = -99;
  require(written(s, info.format) == once, "a file read and written twice changes");
  return 0;
}
