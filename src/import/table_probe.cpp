#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "import/table_import.h"
#include "textio/group_reader.h"
#include "textio/token_scanner.h"

namespace korvane {
namespace {

// A first record that holds something other than a number where one is needed.
[[noreturn]] void reject_first_record(std::string_view program, const std::string& name,
                                      const GroupFault& fault, std::string_view record) {
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
  throw IoError(TextPlace{program, table_unit, name, 1}.message(what, record, fault.column));
}

}  // namespace

void probe_table(FieldStore& s, const RunContext& run) {
  s.ireim = 0;
  const std::string name = table_path(s, run);
  std::string first_record;
  {
    GroupReader in(run.program, table_unit, name);
    std::string_view record;
    if (!in.try_read_text_record(record)) {
      throw IoError(TextPlace{run.program, table_unit, name}.message(
          "end of file: the table holds no record"));
    }
    first_record.assign(record.substr(0, 2 * name_length));
  }
  // The record as the probe reads it: 132 characters, blank-padded.
  std::array<char, name_length> line;
  line.fill(' ');
  const std::size_t kept = std::min<std::size_t>(first_record.size(), name_length);
  std::memcpy(line.data(), first_record.data(), kept);
  // A number cut by the 132-character limit is not a number of the record: the text ends
  // before it.
  if (first_record.size() > name_length && !is_separator(first_record[name_length - 1]) &&
      !is_separator(first_record[name_length])) {
    std::size_t start = name_length - 1;
    while (start > 0 && !is_separator(line[start - 1])) --start;
    std::fill(line.begin() + static_cast<long>(start), line.end(), ' ');
  }

  const std::string_view text(line.data(), name_length);
  double values[9];
  GroupFault fault;
  GroupStatus status = read_reals_from_text(text, values, 9, fault);
  if (status == GroupStatus::bad_value) {
    reject_first_record(run.program, name, fault, first_record);
  }
  ListWriter& log = run.log;
  if (status == GroupStatus::complete) {
    log.begin_record();
    for (double v : values) log.real(v);
    log.end_record();
    s.ireim = 1;
    log.record(" Reading coordinates, real & imaginary fields ...");
    return;
  }
  if (fault.found >= 6) {
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
