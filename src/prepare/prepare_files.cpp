// The files of a preparation: the table, streamed from the export a second time, and the
// drafted control file, each written under a temporary name and renamed when complete.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "prepare/export_records.h"
#include "prepare/prepare.h"
#include "store/grid.h"
#include "textio/byte_sink.h"
#include "textio/line_reader.h"
#include "util/replacing_file.h"

namespace korvane::prepare {
namespace fs = std::filesystem;
namespace {

// Writes a file under a temporary name in its folder and renames it when complete, so a
// failure leaves no half-written file and no temporary behind.
template <class Body>
void write_replacing(const std::string& path, Body&& body) {
  ReplacingFile file(path);
  if (const int error = file.create()) {
    throw IoError(TextPlace{"", 0, path, 0}.message(
        std::string("cannot create the file: ") + std::strerror(error)));
  }
  FileSink sink(0, path);
  sink.adopt(file.release());
  body(sink);
  sink.close();
  if (const int error = file.commit()) {
    throw IoError(TextPlace{"", 0, path, 0}.message(
        std::string("cannot rename the file into place: ") + std::strerror(error)));
  }
}

// The second pass: x y z and the chosen part of each record, each number's text as it
// stands in the export.
void write_table(const Plan& plan, const std::string& export_path, ByteSink& out) {
  const ExportScan& scan = plan.scan;
  const ColumnLayout& cols = scan.layout;
  const int* field = plan.part == Part::real ? cols.real : cols.imaginary;
  const int columns[6] = {cols.coordinate[0], cols.coordinate[1], cols.coordinate[2],
                          field[0],           field[1],           field[2]};
  LineReader lines(0, export_path);
  RecordSplitter split(export_path, cols);
  std::string_view line;
  while (lines.line_number() < scan.header_lines && lines.next(line)) {
  }
  std::string record;
  // The converter's probe reads the first name_length characters of the table's first
  // line: a line of the table takes no more, or the probe would cut a number.
  const std::size_t longest_line = name_length;
  record.reserve(2 * longest_line);
  long written = 0;
  while (written < scan.records && lines.next(line)) {
    if (!split.split(line, lines.line_number())) continue;
    record.clear();
    for (int n = 0; n < 6; ++n) {
      if (n > 0) record += ' ';
      record += split.text(columns[n]);
    }
    if (record.size() > longest_line) {
      throw Refusal(TextPlace{"", 0, export_path, lines.line_number()}.message(
          "the record's numbers take " + std::to_string(record.size()) +
          " characters on a line of the table; the converter reads " +
          std::to_string(longest_line)));
    }
    record += '\n';
    out.write(record);
    ++written;
  }
  if (written != scan.records) {
    throw IoError(TextPlace{"", 0, export_path, 0}.message(
        "the export changed while it was read"));
  }
}

}  // namespace

void write_preparation(const Plan& plan, const Options& o) {
  std::error_code error;
  fs::create_directories(o.dir, error);
  if (error) {
    throw IoError(TextPlace{"", 0, o.dir, 0}.message("cannot create the folder: " +
                                                                    error.message()));
  }
  if (!o.force) {
    for (const std::string& path : {plan.table_path, plan.control_path}) {
      if (fs::exists(fs::symlink_status(path, error))) {
        throw OverwriteError(quoted_token(path) + " exists; --force replaces it");
      }
    }
  }
  write_replacing(plan.table_path, [&](ByteSink& out) { write_table(plan, o.export_path, out); });
  write_replacing(plan.control_path,
                  [&](ByteSink& out) { out.write(render_control_file(plan.control)); });
}

}  // namespace korvane::prepare
