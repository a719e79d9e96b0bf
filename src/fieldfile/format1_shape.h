// The shape of a format 1 file, which gives no node counts.
//
// The counts follow from how the values lie on the lines. From the x coordinates on:
//  - the x record, then the y record, ends at the first line end after which the next value
//    is no larger than the last (a line of fewer values than the writer puts on a line,
//    three, ends a record too); the coordinates of a record increase strictly;
//  - the last line is the end marker when it holds a single integer;
//  - the z record is then the length Noz (1..Nozmax) that leaves, before the end marker,
//    exactly n records of Nox*Noy*Noz values, each ending at a line end, where n is 6 for
//    k_s_EH = 1 and 3, else 0, for k_s_EH = 0; its coordinates increase strictly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fieldfile/field_map.h"
#include "fieldfile/format_readers.h"

namespace korvane {

struct Format1Shape {
  std::int32_t counts[3] = {0, 0, 0};  // Nox, Noy, Noz
  int components = 0;                  // component records: 0, 3 or 6
};

// The shape of the records from lines[first] (the x coordinates) to the end, for a file
// whose header gave `map`'s k_s_EH and d_elm (d_elm only helps to say where a file that
// fits no shape goes wrong). Reads only; throws FieldFileError naming the record and line
// where the file departs from every shape (file is the name for the message).
Format1Shape find_format1_shape(const std::vector<TextLine>& lines, std::size_t first,
                                const FieldMap& map, std::string_view file);

}  // namespace korvane
