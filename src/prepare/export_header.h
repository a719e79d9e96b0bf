// The lines of a solver export before its first record: the column titles among them, and
// the columns the titles name, or those korvane itself assumes when there are none.
#pragma once

#include <string>

#include "prepare/export_columns.h"
#include "textio/errors.h"
#include "textio/line_reader.h"

namespace korvane::prepare {

// The lines before the first record: the column titles among them, and the first record.
struct HeaderLines {
  bool found = false;         // a record was found
  std::string titles;         // the first line with a letter ("" for none)
  std::string listed_titles;  // the first with a letter and a ';'
  std::string first_record;   // as it stands, byte order mark and all

  // The titles that go with values separated by `separator`.
  const std::string& titles_for(Separator separator) const {
    return separator == Separator::semicolons && !listed_titles.empty() ? listed_titles : titles;
  }
};

// Reads every line before the first that starts with a number (its first value, up to a
// blank, a comma or a ';'), counting those that hold something in `header_lines`. The reader
// stops on the first record. Throws what the reader throws.
HeaderLines read_header_lines(LineReader& lines, long& header_lines);

// Refuses (Refusal) an export that is a Git LFS pointer, what a repository cloned without
// its large files holds in place of the file: a text of three lines, "version
// https://git-lfs...", "oid sha256:..." and "size ...". Does nothing for any other header.
void refuse_lfs_pointer(const HeaderLines& header, const std::string& path);

// The columns: from the titles, or as korvane assumes them from the first record's count.
// The first record tells how the values are separated. A Refusal is located at `place`.
ColumnLayout read_columns(const HeaderLines& header, const TextPlace& place);

}  // namespace korvane::prepare
