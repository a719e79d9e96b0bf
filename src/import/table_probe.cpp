#include <algorithm>
#include <cstring>
#include <string>

#include "import/table_import.h"
#include "textio/group_reader.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

// A first record that holds something other than a number where one is needed.
[[noreturn]] void reject_first_record(const std::string& name, const GroupFault& fault,
                                      std::string_view record) {
  // A first record that starts with text is most often the column titles of an export
  // saved as it stands.
  const bool starts_with_text =
      fault.found == 0 && !fault.token.empty() &&
      std::string_view("0123456789+-.,").find(fault.token[0]) == std::string_view::npos;
  const std::string what =
      describe_bad_value(fault) +
      (starts_with_text ? " (the first record must hold numbers only; korvane-prepare reads an "
                          "export with its header)"
                        : " (the first record must hold numbers only)");
  throw IoError(TextPlace{converter_name, table_unit, name, 1}.message(what, record, fault.column));
}

}  // namespace

std::string table_path(const FieldStore& s, std::string_view folder) {
  std::string name = table_name(s);
  if (folder.empty() || folder == "." || (!name.empty() && name[0] == '/')) return name;
  std::string path(folder);
  if (path.back() != '/') path += '/';
  return path + name;
}

void probe_table(FieldStore& s, ListWriter& log, std::string_view folder) {
  s.ireim = 0;
  const std::string name = table_path(s, folder);
  std::string first_record;
  {
    GroupReader in(converter_name, table_unit, name);
    std::string_view record;
    if (!in.try_read_text_record(record)) {
      throw IoError(TextPlace{converter_name, table_unit, name}.message(
          "end of file: the table holds no record"));
    }
    first_record.assign(record.substr(0, 2 * name_length));
  }
  s.line.fill(' ');
  const std::size_t kept = std::min<std::size_t>(first_record.size(), name_length);
  std::memcpy(s.line.data(), first_record.data(), kept);
  // A number cut by the 132-character limit is not a number of the record: the text ends
  // before it.
  if (first_record.size() > name_length && !is_separator(first_record[name_length - 1]) &&
      !is_separator(first_record[name_length])) {
    std::size_t start = name_length - 1;
    while (start > 0 && !is_separator(s.line[start - 1])) --start;
    std::fill(s.line.begin() + static_cast<long>(start), s.line.end(), ' ');
  }

  const std::string_view text(s.line.data(), name_length);
  double values[9];
  GroupFault fault;
  GroupStatus status = read_reals_from_text(text, values, 9, fault);
  if (status == GroupStatus::bad_value) reject_first_record(name, fault, first_record);
  if (status == GroupStatus::complete) {
    s.xrec = values[0], s.yrec = values[1], s.zrec = values[2];
    s.vxre = values[3], s.vyre = values[4], s.vzre = values[5];
    s.vxim = values[6], s.vyim = values[7], s.vzim = values[8];
    log.begin_record();
    for (double v : values) log.real(v);
    log.end_record();
    s.ireim = 1;
    log.record(" Reading coordinates, real & imaginary fields ...");
    return;
  }
  if (fault.found >= 6) {
    s.xrec = values[0], s.yrec = values[1], s.zrec = values[2];
    s.vxre = values[3], s.vyre = values[4], s.vzre = values[5];
    log.begin_record();
    for (int n = 0; n < 6; ++n) log.real(values[n]);
    log.end_record();
    s.ireim = 2;
    log.record(" Reading coordinates & real fields only ...");
    return;
  }
  s.ireim = 3;
  log.record(" Reading real fields only (no coordinates) ...");
}

}  // namespace korvane
