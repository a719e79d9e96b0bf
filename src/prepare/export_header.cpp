// The header of a solver export: the lines before its first record, and its columns.
#include "prepare/export_header.h"

#include <cctype>

#include "prepare/export_records.h"
#include "textio/token_scanner.h"

namespace korvane::prepare {
namespace {

bool has_letter(std::string_view line) {
  for (char c : line) {
    if (std::isalpha(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

}  // namespace

HeaderLines read_header_lines(LineReader& lines, long& header_lines) {
  HeaderLines header;
  std::string_view line;
  while (lines.next(line)) {
    const std::string_view text = without_byte_order_mark(line, lines.line_number());
    std::string_view first;
    TokenScanner scanner(text);
    if (!scanner.next_token(first)) continue;
    double value;
    if (parse_real(first.substr(0, first.find(';')), value) == TokenStatus::ok) {
      header.found = true;
      header.first_record = std::string(line);
      return header;
    }
    ++header_lines;
    if (!has_letter(text)) continue;
    if (header.titles.empty()) header.titles = std::string(text);
    if (header.listed_titles.empty() && text.find(';') != std::string_view::npos) {
      header.listed_titles = std::string(text);
    }
  }
  return header;
}

void refuse_lfs_pointer(const HeaderLines& header, const std::string& path) {
  constexpr std::string_view pointer = "version https://git-lfs";
  if (std::string_view(header.titles).substr(0, pointer.size()) != pointer) return;
  throw Refusal(TextPlace{"", 0, path, 1}.message(
      "this is a Git LFS pointer (" + printable(header.titles) +
      "), not the export: the repository was cloned without its large files. Fetch the "
      "export with 'git lfs pull' in the repository (Git LFS installed), then prepare it"));
}

ColumnLayout read_columns(const HeaderLines& header, const TextPlace& place) {
  const std::string_view record = without_byte_order_mark(header.first_record, place.line);
  const Separator separator =
      record.find(';') != std::string_view::npos ? Separator::semicolons : Separator::blanks;
  try {
    const std::string& titles = header.titles_for(separator);
    if (titles.empty()) return headerless_layout(count_values(record, separator), separator);
    return read_header(titles, separator);
  } catch (const Refusal& refusal) {
    throw Refusal(place.message(refusal.what()));
  }
}

}  // namespace korvane::prepare
