#include "fieldfile/field_file.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fieldfile/field_records.h"
#include "fieldfile/parallel_text.h"
#include "util/replacing_file.h"

namespace korvane {
namespace {

// Unformatted sequential records: each record's data framed by its byte count, as a
// 4-byte little-endian integer, before and after. Values are little-endian too.
class RecordFile {
 public:
  explicit RecordFile(ByteSink& sink) : sink_(sink) {}

  void begin(std::size_t reals, std::size_t integers) {
    length_ = 8 * reals + 4 * integers;
    put32(static_cast<std::uint32_t>(length_));
  }
  void begin_axis(std::int32_t count, int) { begin(static_cast<std::size_t>(count), 0); }
  void end() { put32(static_cast<std::uint32_t>(length_)); }
  void count(std::int32_t value, int) { integer(value); }
  void integer(std::int32_t value) { put32(static_cast<std::uint32_t>(value)); }
  void real(double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    char bytes[8];
    for (int b = 0; b < 8; ++b) bytes[b] = static_cast<char>(bits >> (8 * b));
    sink_.write(bytes, 8);
  }
  int component_arrays(const FieldStore& s, const OutputField* arrays[6]) const {
    return arrays_for_ifield(s.ifield, s, arrays);
  }

 private:
  void put32(std::uint32_t value) {
    char bytes[4];
    for (int b = 0; b < 4; ++b) bytes[b] = static_cast<char>(value >> (8 * b));
    sink_.write(bytes, 4);
  }
  ByteSink& sink_;
  std::size_t length_ = 0;
};

// Text records: each record one list-directed write.
class TextRecords {
 public:
  explicit TextRecords(ByteSink& sink) : out_(sink) {}

  void begin(std::size_t, std::size_t) { out_.begin_record(); }
  void begin_axis(std::int32_t, int) { out_.begin_record(); }
  void end() { out_.end_record(); }
  void count(std::int32_t value, int) { out_.integer(value); }
  void integer(std::int32_t value) { out_.integer(value); }
  void real(double value) { out_.real(value); }
  int component_arrays(const FieldStore& s, const OutputField* arrays[6]) const {
    return arrays_for_ifield(s.ifield, s, arrays);
  }

 private:
  ListWriter out_;
};

}  // namespace

std::string cnum2(std::int32_t n) {
  if (n < 0 || n > 99) return "**";
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

std::string field_file_name(std::int32_t nfile) { return "eh_EMS.#" + cnum2(nfile); }

void write_format0(const FieldStore& s, ByteSink& sink) {
  RecordFile file(sink);
  walk_format0_1(file, s);
}

namespace {

// A text format's record walk, rendered on the team's threads when it has more than one.
template <class Walk>
void write_text(const FieldStore& s, ByteSink& sink, TaskPool* team, Walk walk) {
  if (team != nullptr && team->threads() > 1) {
    ParallelTextRecords text(sink, *team);
    walk(text, s);
    text.finish();
    return;
  }
  TextRecords text(sink);
  walk(text, s);
}

}  // namespace

void write_format1(const FieldStore& s, ByteSink& sink, TaskPool* team) {
  write_text(s, sink, team,
             [](auto& text, const FieldStore& store) { walk_format0_1(text, store); });
}

void write_format2(const FieldStore& s, ByteSink& sink, TaskPool* team) {
  write_text(s, sink, team,
             [](auto& text, const FieldStore& store) { walk_format2(text, store); });
}

void write_format(const FieldStore& s, int ifmt, ByteSink& sink, TaskPool* team) {
  if (ifmt == 0) {
    write_format0(s, sink);
  } else if (ifmt == 1) {
    write_format1(s, sink, team);
  } else {
    write_format2(s, sink, team);
  }
}

void write_field_file(FieldStore& s, const RunContext& run, ByteSink* into) {
  const std::string name = field_file_name(s.nfile);
  if (cnum2(s.nfile) == "**") {
    run.warnings.warn("nfile = " + std::to_string(s.nfile) +
                      " does not fit in two digits; the output field file is named " + name);
  }
  s.fname_out.fill(' ');
  std::memcpy(s.fname_out.data(), name.data(), name.size());
  run.log.record(" Output field file name = ", std::string_view(s.fname_out.data(), 10));
  s.k_s_EH = s.ifield == 2 ? 1 : 0;
  s.iend = end_marker;
  if (s.ifmt != 0 && s.ifmt != 1 && s.ifmt != 2) {
    throw FatalStop(" Not a valid PELIX 3D field format: use 0, 1 or 2 ");
  }
  if (into != nullptr) {
    write_format(s, s.ifmt, *into, run.team);
    return;
  }

  ReplacingFile file(name);
  if (const int error = file.create()) {
    throw IoError(located_message(run.program, field_file_unit, name, 0,
                                  std::string("cannot create the file: ") +
                                      std::strerror(error)));
  }
  FileSink sink(run.program, field_file_unit, name);
  sink.adopt(file.release());
  write_format(s, s.ifmt, sink, run.team);
  sink.close();
  if (const int error = file.commit()) {
    const std::string what = file.folder_unsynced()
                                 ? "written, but its folder '" + file.folder() +
                                       "' cannot be flushed to the disk: "
                                 : std::string("cannot replace the file: ");
    throw IoError(located_message(run.program, field_file_unit, name, 0,
                                  what + std::strerror(error)));
  }
}

}  // namespace korvane
