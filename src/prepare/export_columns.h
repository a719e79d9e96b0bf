// The columns of a solver export: which holds x, y, z and which the real and imaginary
// parts of the three components, the units they are given in, and which field they are.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/grid.h"
#include "store/units.h"
#include "textio/format.h"

namespace korvane::prepare {

// An export that cannot be prepared: the reason, for standard error (status 1).
class Refusal : public std::runtime_error {
 public:
  explicit Refusal(const std::string& what) : std::runtime_error(what) {}
};

// A figure for messages and the report: six significant digits ("0.0254", "1e-06").
inline std::string figure(double value) { return general_number(value, 6); }

using korvane::FieldKind;  // E, H, B

// "E", "H" or "B".
const char* field_letter(FieldKind kind);

struct LengthUnit {
  std::string name;  // as the user or the header wrote it
  double metres;     // cscale: one unit in metres
};

struct FieldUnit {
  std::string name;
  FieldKind kind;
  double fscale;        // the factor the converter wants for this unit
  const char* meaning;  // "V/m to V/cm", for the control file's comment
};

// The unit spelled `name` (without brackets), or nothing when it is not one we know.
std::optional<LengthUnit> find_length_unit(std::string_view name);
std::optional<FieldUnit> find_field_unit(std::string_view name);

// What separates the values of a record (and the titles of the header): blanks, tabs and
// commas, or ';' (with blanks around it allowed, and '#' before the titles).
enum class Separator { blanks, semicolons };

// How the components are laid out in a record of 9 or more values.
enum class PartLayout { real_only, blocked, interleaved, other };

struct ColumnLayout {
  int values = 0;                    // values a record holds
  int coordinate[3] = {-1, -1, -1};  // column of x, y, z (from 0)
  int real[3] = {-1, -1, -1};        // column of the real (or plain) part of each component
  int imaginary[3] = {-1, -1, -1};
  bool from_header = false;
  std::optional<FieldKind> kind;  // the field the header names
  std::string length_unit;        // units in the header's brackets ("" when absent)
  std::string field_unit;
  std::vector<std::string> ignored;  // titles of the columns that are not used
  PartLayout parts = PartLayout::real_only;
  Separator separator = Separator::blanks;
  bool has_imaginary() const { return imaginary[0] >= 0; }
};

// Reads the column titles of a header line: "x [mm]  y [mm]  z [mm]  ExRe [V/m] ...", or
// with semicolons "#x [mm];y [mm];z [mm];ExRe [V/m];...". Throws Refusal with a message
// that quotes the header when it names no coordinates, no field, two fields, a column
// twice, or units that disagree.
ColumnLayout read_header(std::string_view titles, Separator separator = Separator::blanks);

// The layout korvane itself assumes for a headerless record of `values` values: x y z
// and the real parts, then (9 or more values) the imaginary parts. Throws Refusal for
// fewer than 6 values (no coordinates to find the mesh from).
ColumnLayout headerless_layout(int values, Separator separator = Separator::blanks);

// "blocked (ExRe EyRe EzRe ExIm EyIm EzIm)" and the like, for the report.
std::string describe_layout(const ColumnLayout& layout);

}  // namespace korvane::prepare
