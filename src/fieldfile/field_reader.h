// Reading an output field file back: format 0, 1 or 2, told apart by the content.
//
// Format 0 starts with the 4-byte length word 20 of its header record; a text file is
// format 1 when its first record holds three values (d_elm, aper, k_s_EH) and format 2 when
// it holds one (ifield). The records are those the writers produce (field_records.h walks
// both directions); anything else is a FieldFileError naming the file, the record and, in a
// text file, the line.
//
// Format 1 gives no node counts: a coordinate record ends at the line end where the
// coordinates stop increasing (x and y), and the z record is the length that leaves 3 or
// 6 component records of Nox*Noy*Noz values, each starting on a new line, before the end
// marker (format1_shape.h states the rule in full). Formats 0 and 1 do not say which field
// a file of three component records holds; the caller may say (TripleSet), otherwise the
// three go to the electric arrays and the map says that the kind is unknown.
//
// Text values are read as written: NaN, Infinity and -Infinity are accepted, since the
// writer renders non-finite values that way; any run of blanks, tabs and commas parts two
// values. The front (field_reader.cpp) tells the format and hands the file to the binary or
// the text reader (format_readers.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "fieldfile/field_file_error.h"
#include "fieldfile/field_map.h"

namespace korvane {

// Reads the file into a new map: the format and what the file holds (sets, components,
// records), the header values, Nox, Noy, Noz, the node coordinates xmws, ymws, zmws and the
// bounds Xmin .. Zmax, ifield and k_s_EH (each taken from the file or derived from what it
// holds), and the component arrays ExOut .. HzOut. Arrays the file does not hold are zero.
// For formats 0 and 1, ifield is 0, 1 or 2 by the sets found (0 for a triple of unknown
// kind) and -1 when there are no component records; for format 2, k_s_EH is 1 for ifield 2
// and d_elm and aper are 0. Throws FieldFileError; std::bad_alloc without the memory.
std::unique_ptr<FieldMap> read_field_file(const std::string& name,
                                          TripleSet triple = TripleSet::unknown);

// The same for the bytes of a file held in memory; `name` is only for messages.
std::unique_ptr<FieldMap> read_field_bytes(std::string_view bytes, std::string_view name,
                                           TripleSet triple = TripleSet::unknown);

}  // namespace korvane
