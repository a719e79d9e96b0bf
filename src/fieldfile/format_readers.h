// The readers of each kind of field file, to which the front (field_reader.cpp) hands a
// file once it has told the format. Each fills the map through the format's record walk
// (field_records.h), checks the file's end, and sets the map's format, records, sets and
// components. Failures are FieldFileErrors.
#pragma once

#include <string_view>
#include <vector>

#include "fieldfile/field_map.h"

namespace korvane {

// A line of a text file that holds a value, with its number in the file (from 1).
struct TextLine {
  long number;
  std::string_view text;
};

// Format 0: `bytes` is the whole file.
void read_binary_records(std::string_view bytes, std::string_view name, TripleSet triple,
                         FieldMap& map);

// Formats 1 and 2 (`format`): `lines` are the lines that hold a value.
void read_text_records(std::vector<TextLine> lines, int format, std::string_view name,
                       TripleSet triple, FieldMap& map);

}  // namespace korvane
