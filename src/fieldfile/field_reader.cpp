// The front of the field-file reader: reads the file, tells the format by its first bytes
// and hands it to the binary or the text reader, then derives what the format leaves out.
#include "fieldfile/field_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "fieldfile/record_reader.h"
#include "textio/errors.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

// No field file of the largest grid comes near this; a larger file is something else.
constexpr std::size_t largest_file = std::size_t{128} << 20;

// Format 0 opens with the length word of its header record: d_elm, aper (doubles) and
// k_s_EH (a 32-bit integer).
constexpr std::uint32_t header_length = 2 * 8 + 4;

// The lines of a text file that hold anything but separators; a record may run over
// blank lines as a list-directed read does.
std::vector<TextLine> text_lines(std::string_view bytes) {
  std::vector<TextLine> lines;
  long number = 0;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t stop = bytes.find('\n', start);
    if (stop == std::string_view::npos) stop = bytes.size();
    std::string_view line = bytes.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number;
    if (std::any_of(line.begin(), line.end(), [](char c) { return !is_separator(c); })) {
      lines.push_back({number, line});
    }
    start = stop + 1;
  }
  return lines;
}

void clear_output(FieldStore& s) {
  for (OutputField* a : {&s.ExOut, &s.EyOut, &s.EzOut, &s.HxOut, &s.HyOut, &s.HzOut}) {
    a->values.fill(0.0);
  }
  s.xmws.values.fill(0.0);
  s.ymws.values.fill(0.0);
  s.zmws.values.fill(0.0);
  s.d_elm = s.aper = 0.0;
  s.Xmin = s.Xmax = s.Ymin = s.Ymax = s.Zmin = s.Zmax = 0.0;
  s.Nox = s.Noy = s.Noz = 0;
  s.ksym_x = s.ksym_y = s.ksym_z = 0;
  s.k_s_EH = 0;
  s.ifield = -1;
  s.iend = 0;
}

}  // namespace

FieldFileError::FieldFileError(std::string_view file, long record, long line, std::string_view what)
    : std::runtime_error(TextPlace{"", 0, file, line, record}.message(what)),
      record_(record),
      line_(line) {}

const char* describe(FieldSets sets) {
  switch (sets) {
    case FieldSets::electric:
      return "E";
    case FieldSets::magnetic:
      return "H";
    case FieldSets::both:
      return "E and H";
    case FieldSets::electric_or_magnetic:
      return "E or H (3 components)";
    case FieldSets::none:
      break;
  }
  return "none";
}

FieldFileInfo read_field_bytes(std::string_view bytes, std::string_view name, FieldStore& s,
                               TripleSet triple) {
  clear_output(s);
  if (bytes.empty()) throw FieldFileError(name, 1, 0, "the file is empty");
  FieldFileInfo info;
  if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == header_length && bytes[1] == 0 &&
      bytes[2] == 0 && bytes[3] == 0) {
    info = read_binary_records(bytes, name, triple, s);
  } else {
    std::vector<TextLine> lines = text_lines(bytes);
    const std::size_t head = lines.empty() ? 0 : count_tokens(lines[0].text);
    if (head != 1 && head != 3) {
      throw FieldFileError(
          name, 1, lines.empty() ? 0 : lines[0].number,
          "not a field file: it starts neither with the 20-byte header record of format 0 "
          "nor with a text record of two reals and an integer (format 1) or of one integer "
          "(format 2)");
    }
    info = read_text_records(std::move(lines), head == 3 ? 1 : 2, name, triple, s);
  }

  if (info.format == 2) {
    lay_out_axis(s.xmws, s.Xmin, s.Xmax, s.Nox);
    lay_out_axis(s.ymws, s.Ymin, s.Ymax, s.Noy);
    lay_out_axis(s.zmws, s.Zmin, s.Zmax, s.Noz);
    s.k_s_EH = s.ifield == 2 ? 1 : 0;
  } else {
    info.has_lengths = true;
    s.Xmin = s.xmws(1);
    s.Xmax = s.xmws(s.Nox);
    s.Ymin = s.ymws(1);
    s.Ymax = s.ymws(s.Noy);
    s.Zmin = s.zmws(1);
    s.Zmax = s.zmws(s.Noz);
  }
  return info;
}

FieldFileInfo read_field_file(const std::string& name, FieldStore& store, TripleSet triple) {
  auto fail = [&](const std::string& what) { throw FieldFileError(name, 0, 0, what); };
  if (name.find('\0') != std::string::npos) fail("a file name cannot hold a NUL byte");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) fail(std::string("cannot open: ") + std::strerror(errno));
  std::string bytes;
  char block[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(block, 1, sizeof block, file.get());
    bytes.append(block, n);
    if (bytes.size() > largest_file) fail("larger than any field file; not read");
    if (n < sizeof block) break;
  }
  if (std::ferror(file.get())) fail(std::string("cannot read: ") + std::strerror(errno));
  return read_field_bytes(bytes, name, store, triple);
}

}  // namespace korvane
