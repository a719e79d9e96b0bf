// The control file "korvane.dat": the run's only configuration.
#pragma once

#include <string>

#include "store/field_store.h"
#include "store/run_context.h"

namespace korvane {

inline constexpr const char* control_file_name = "korvane.dat";
inline constexpr int control_unit = 1;

// Reads the thirteen records of the control file at `path` (relative to the working
// directory, not to run.folder) into the store: two skipped
// records, the table name (whole record, cut at 132 characters, blank-padded), then ten
// groups of numbers (ifield; isym_x, isym_y, isym_z; nfile; ifmt; ksym_x, ksym_y, ksym_z;
// d_elm; aper; fscale; cscale; Nox, Noy, Noz). Lengths are in metres as the output grid
// uses them. Throws IoError (unit 1) for a missing file, a short file or a value that is
// not the number its group needs, spoken by run.program.
void read_control_file(FieldStore& store, const RunContext& run,
                       const std::string& path = control_file_name);

// The tests made right after the control file is read, each a FatalStop:
// the output grid must fit the output arrays (Noz, then Nox, then Noy), have at least two
// nodes per axis, and every symmetry code must be 0, 1 or 2.
void check_control_values(const FieldStore& store);

}  // namespace korvane
