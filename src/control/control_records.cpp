#include "control/control_records.h"

#include <algorithm>
#include <charconv>

namespace korvane {
namespace {

// Values take the first 19 columns, as in the shipped examples, so the comments line up.
constexpr std::size_t comment_column = 19;

void append_real(std::string& out, double value) {
  char digits[32];
  // Without a precision to_chars gives the shortest text that reads back to `value`.
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void append_integers(std::string& out, const std::int32_t* values, int count) {
  for (int n = 0; n < count; ++n) {
    if (n > 0) out += ' ';
    out += std::to_string(values[n]);
  }
}

}  // namespace

std::string render_control_file(const ControlDraft& d) {
  std::string out;
  for (std::size_t index = 0; index < control_record_count; ++index) {
    const ControlRecord& record = control_records[index];
    std::string line;
    switch (index) {
      case title_1_record:
        line = d.titles[0];
        break;
      case title_2_record:
        line = d.titles[1];
        break;
      case table_record:
        line = d.table;
        break;
      case ifield_record:
        append_integers(line, &d.ifield, record.count);
        break;
      case isym_record:
        append_integers(line, d.isym, record.count);
        break;
      case nfile_record:
        append_integers(line, &d.nfile, record.count);
        break;
      case ifmt_record:
        append_integers(line, &d.ifmt, record.count);
        break;
      case ksym_record:
        append_integers(line, d.ksym, record.count);
        break;
      case d_elm_record:
        append_real(line, d.d_elm);
        break;
      case aper_record:
        append_real(line, d.aper);
        break;
      case fscale_record:
        append_real(line, d.fscale);
        break;
      case cscale_record:
        append_real(line, d.cscale);
        break;
      case counts_record:
        append_integers(line, d.counts, record.count);
        break;
      default:
        break;
    }
    // Titles and the table name are whole records: a comment would become part of them.
    if (record.values == ControlValues::integers || record.values == ControlValues::reals) {
      const std::string& comment =
          d.comments[index].empty() ? std::string(record.comment) : d.comments[index];
      line.resize(std::max(line.size() + 1, comment_column), ' ');
      line += comment;
    }
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace korvane
