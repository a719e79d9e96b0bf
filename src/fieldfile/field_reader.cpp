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

#include "fieldfile/format_readers.h"
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

}  // namespace

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

std::unique_ptr<FieldMap> read_field_bytes(std::string_view bytes, std::string_view name,
                                           TripleSet triple) {
  if (bytes.empty()) throw FieldFileError(name, 1, 0, "the file is empty");
  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& m = *map;
  if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == header_length && bytes[1] == 0 &&
      bytes[2] == 0 && bytes[3] == 0) {
    read_binary_records(bytes, name, triple, m);
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
    read_text_records(std::move(lines), head == 3 ? 1 : 2, name, triple, m);
  }

  if (m.format == 2) {
    lay_out_axis(m.xmws, m.Xmin, m.Xmax, m.Nox);
    lay_out_axis(m.ymws, m.Ymin, m.Ymax, m.Noy);
    lay_out_axis(m.zmws, m.Zmin, m.Zmax, m.Noz);
    m.k_s_EH = m.ifield == 2 ? 1 : 0;
  } else {
    m.has_lengths = true;
    m.Xmin = m.xmws(1);
    m.Xmax = m.xmws(m.Nox);
    m.Ymin = m.ymws(1);
    m.Ymax = m.ymws(m.Noy);
    m.Zmin = m.zmws(1);
    m.Zmax = m.zmws(m.Noz);
  }
  return map;
}

std::unique_ptr<FieldMap> read_field_file(const std::string& name, TripleSet triple) {
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
  return read_field_bytes(bytes, name, triple);
}

}  // namespace korvane
