// Field import: the export table's column layout, its mesh and loop order, and the
// placing of its field on the exported-region arrays.
//
// The table is unit 2: no header, one record per mesh node, 9, 6 or 3 numbers a record.
// Coordinates are in the table's unit and become metres by cscale; field values are in
// the table's unit and are scaled by fscale according to ifield.
#pragma once

#include "store/field_store.h"
#include "store/run_context.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

inline constexpr int table_unit = 2;

class UsualRecords;

// Reads the table's first record as text (cut at 132 characters) and sets ireim from how
// many numbers it holds: 9 or more gives 1 (coordinates, real and imaginary parts), 6 to 8
// gives 2 (coordinates and real parts), fewer gives 3 (real parts only). Logs the probed
// values and the reading message. A number cut by the 132-character limit is disregarded.
// Throws IoError for a missing or empty table and for a token that is not a number before
// the needed count is reached. The table is table_path(store, run).
void probe_table(FieldStore& store, const RunContext& run);

// Finds the input grid: for ireim 1 and 2 by one scan of the table's coordinates (iord,
// counts, steps and bounds, lengths times cscale); for ireim 3 from aper, d_elm, the
// export symmetry codes and the output counts. Logs the " Input Grid parameters " block.
// Throws IoError when the table ends inside the first two runs of the scan (a table that
// does not vary along all three axes) or holds an unreadable value there. With a team of
// more than one thread the table is parsed on all of them in chunks cut by run.layout,
// with the same results; given `ahead`, the scan also reads and places the load's records
// as far as they are the usual ones (see UsualRecords), for fill_grid to finish.
void find_input_grid(FieldStore& store, const RunContext& run, UsualRecords* ahead = nullptr);

// The tests of the grid just logged, each a FatalStop: a grid was found, it fits the
// input arrays (also after unfolding), and its coordinates increase along each axis.
void check_input_grid(const FieldStore& store);

// Moves the Z range to start at 0 when it does not (logs " Shifted Z: Zmin, Zmax= ").
void shift_z(FieldStore& store, ListWriter& log);

// Reads exactly Nix*Niy*Niz records into ExIn, EyIn, EzIn in the table's loop order,
// never by their coordinates. Warns (once, to run.warnings) when a record's coordinates lie
// off the regular mesh the scan found by more than 1 % of a step. Throws IoError for a
// table that ends early or holds an unreadable value. With a team of more than one thread
// the table is parsed on all of them in chunks cut by run.layout, with the same results,
// warning and errors; records the scan read `ahead` are not read again.
void fill_grid(FieldStore& store, const RunContext& run, const UsualRecords* ahead = nullptr);

// Scales the loaded field by ifield: 0 electric (times fscale, times 0.01), 1 magnetic
// (times fscale, electric set cleared), anything else unchanged; z planes on the team's
// threads when it has more than one.
void scale_field(FieldStore& store, TaskPool* team = nullptr);

// Centres the Z range on 0 when it is not symmetric (logs " Centered Z: Zimin, Zimax= "),
// except for a z half that the output keeps (z_half_kept, set by the unfolding): that half
// stays from z = 0 up, where the output grid starts.
void centre_z(FieldStore& store, ListWriter& log);

}  // namespace korvane
