// korvane-inspect --openpmd: the map of a field file as an openPMD field mesh (BeamPhysics
// extension, "external mesh fields") in HDF5, for the tools that read that form.
//
// The field file does not record its units. The converter's scaling leaves the electric
// set in V/cm (fscale x 0.01 on a table in V/m) and the magnetic set as the flux density in
// gauss (fscale 10000 on a table in tesla), so those are taken unless the user names
// others; a file of both sets (ifield 2) holds the table's values unscaled, and there the
// unit of each set written must be named. Coordinates are metres.
//
// The mesh is the whole element: a file that declares symmetry planes (ksym 1 or 2) holds
// one side of each; it is mirrored over node 1 of that axis with the sign of each
// component that the plane's code makes odd, as the beam code does when it reads the
// file, so readers that know nothing of those codes see the full map.
#pragma once

#include <string>

#include "inspect/analysis/inspected_file.h"

namespace korvane::inspect {

// Whether this korvane-inspect was built with HDF5; without it the options are refused.
bool openpmd_built();

enum class Anchor { beginning, center, end };

struct OpenPmdOptions {
  std::string output;              // the HDF5 file; empty: no openPMD output
  Anchor anchor = Anchor::center;  // the element point the grid's origin refers to
  double frequency = 0.0;          // Hz; 0 means a static field
  std::string name;                // empty: the field file's name
  std::string e_unit, b_unit;      // empty: V/cm and G
  bool complex_values = false;     // components as complex numbers (imaginary part 0)
  std::string first_setting;       // the first option given other than --openpmd
};

// The command-line options of the openPMD output, for --help.
extern const char* const openpmd_usage;

// The openPMD output's options; each takes a value.
inline constexpr const char* openpmd_options[] = {
    "--openpmd", "--anchor", "--frequency", "--name", "--e-unit", "--b-unit", "--value-type"};

// Sets `option` to `value`. Throws std::invalid_argument with a message naming the option
// for a value it does not take, or when HDF5 support was not built.
void set_openpmd_option(const std::string& option, const std::string& value,
                        OpenPmdOptions& options);

// Writes the map of `file` to options.output under a temporary name, renamed when
// complete. Returns the lines of the report: the file written, the records and the units
// taken, the sets left out (a set that is all zero) and the planes unfolded. Throws
// std::runtime_error naming the field file when its sets or units are not known (a
// three-component file of format 0 or 1 read without --field; a file of both sets without
// the unit of a set it writes; a file with no non-zero component), and naming the output
// when it cannot be written; nothing is then left under the output's name.
std::string write_openpmd(const InspectedFile& file, const OpenPmdOptions& options);

}  // namespace korvane::inspect
