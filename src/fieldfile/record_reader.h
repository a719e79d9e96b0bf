// The pieces the binary and the text reader share: the bookkeeping of the record being
// read and of what the component records turn out to be, the name each record has in
// messages, and the values of a text file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fieldfile/field_file_error.h"
#include "fieldfile/field_map.h"

namespace korvane {

// The name of record `record` (from 1) in messages: "header (d_elm, aper, k_s_EH)",
// "y node coordinates", "Hx component", "node (2, 1, 3)", "end marker" and so on. The
// component records are named by `components` (-1 while not yet known) and `sets`; the
// node records of format 2 by the map's node counts.
std::string record_name(int format, long record, const FieldMap& map, int components,
                        FieldSets sets);

// Record bookkeeping for the binary and the text reader, which fill `map`. Every failure
// is a FieldFileError that names the record ("record N, name: what").
class RecordReader {
 public:
  RecordReader(std::string_view file, int format, TripleSet triple, FieldMap& map)
      : file_(file), format_(format), triple_(triple), map_(map) {}

  // Sets the map's format, records, sets and components from what was read.
  void describe_map();

 protected:
  [[noreturn]] void fail_at(long record, long line, const std::string& what) const;
  [[noreturn]] void fail(long line, const std::string& what) const { fail_at(record_, line, what); }

  // k_s_EH of the header must be 0 or 1.
  void check_k_s_EH(long line) const;
  // The end marker of a format 0 or 1 file must be end_marker.
  void check_end_marker(long line) const;

  // The arrays of `count` component records (0, 3 or 6) of a format 0 or 1 file, which
  // does not name its field: sets ifield and the sets from the count and the triple.
  int take_components(int count, OutputField* arrays[6]);
  // The arrays of a format 2 file, which names its field by ifield.
  int take_components_by_ifield(OutputField* arrays[6]);

  std::string_view file_;
  int format_;
  TripleSet triple_;
  FieldMap& map_;
  long record_ = 0;
  int components_ = -1;  // component records, once known
  FieldSets sets_ = FieldSets::none;
};

// "N one" or "N many".
std::string count_of(std::size_t n, const char* one, const char* many);

// A value of a text field file: a real as the converter reads one, or NaN, Infinity or
// -Infinity as the writer renders non-finite values. False for anything else.
bool read_text_value(std::string_view token, double& value);

}  // namespace korvane
