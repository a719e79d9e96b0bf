// The export table a run's control file names, read record by record as the converter
// reads it: for measuring how far a field map departs from the field it was made from. The
// replay runs the converter's own phase list; what it hands out knows nothing of the field
// store.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "util/task_pool.h"

namespace korvane {

// One record of the table, where and what the converter takes it to be.
struct SourceRecord {
  long line = 0;  // the table's line where the record starts, from 1
  // Metres: the record's coordinates times cscale, z moved as the converter moves the
  // table (shifted to start at 0, then centred unless the output keeps the z half). A table
  // without coordinates gives each record its node of the grid built from the control values.
  double x = 0.0, y = 0.0, z = 0.0;
  // Ex, Ey, Ez, Hx, Hy, Hz as the converter holds them after scaling and routing by ifield.
  double field[6] = {};
};

struct SourceTable {
  std::string control;     // the control file as given
  std::string table;       // the table's path as opened
  std::int32_t ireim = 0;  // 1, 2 or 3 (no coordinates)
  std::int32_t iord = 0;
  std::int32_t ifield = 0;
  double fscale = 0.0, cscale = 0.0;
  std::int32_t isym[3] = {0, 0, 0};  // as read, before the unfolding clears kept planes
  std::int32_t ksym[3] = {0, 0, 0};
  std::int32_t counts[3] = {0, 0, 0};  // the exported region's nodes
  bool z_half_kept = false;            // a z half the output keeps: it stays from z = 0 up
  double z_moved = 0.0;                // metres added to the first record's z
  std::vector<SourceRecord> records;   // in table order, no mirror images
  std::vector<std::string> warnings;   // what the converter warns of, without a prefix
};

// A control file or a table that the converter would refuse; the text is whole, prefixed
// with the program's name as given, ready for standard error.
class SourceError : public std::runtime_error {
 public:
  explicit SourceError(const std::string& message) : std::runtime_error(message) {}
};

// Reads the control file at `control` and the table it names, in the control file's
// folder, through the converter's phase list from the control file to the z centring,
// spoken by `program` and on `team` (the caller alone when null). A second pass over the
// table gives each record's line. The working directory is neither used (but for a
// `control` given relative to it) nor changed. Throws SourceError, its text starting with
// `program` and ": ", for every input error the converter gives (a missing, short or
// malformed file, located as the converter locates it) and for every stop of its checks on
// the control values and the input grid.
SourceTable read_source_table(const std::string& control, std::string_view program,
                              TaskPool* team = nullptr);

}  // namespace korvane
