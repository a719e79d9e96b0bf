// The export table a run's control file names, read record by record as the converter
// reads it: for measuring how far a field map departs from the field it was made from. The
// replay runs the converter's own phase list; what it hands out knows nothing of the field
// store, and places each record where the converter puts its value.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "driver/phase_list.h"
#include "store/field_store.h"
#include "textio/byte_sink.h"
#include "util/task_pool.h"

namespace korvane {

// One record of the table, where and what the converter takes it to be.
struct SourceRecord {
  long line = 0;  // the table's line where the record starts, from 1
  // Metres: where the converter puts the record's value, its node of the full input grid
  // (node[0..2], from 1) after the z shift, the unfolding and the centring. A table without
  // coordinates has its records on the grid built from the control values.
  double x = 0.0, y = 0.0, z = 0.0;
  std::int32_t node[3] = {};
  // The set the table fills (H for ifield 1, else E), x, y and z, as the converter holds
  // it after scaling.
  double field[3] = {};
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
  std::int32_t counts[3] = {0, 0, 0};       // the exported region's nodes
  std::int32_t full_counts[3] = {0, 0, 0};  // the full input grid's, after unfolding
  std::vector<double> full_nodes[3];        // its nodes' coordinates (Xi, Yi, Zi), metres
  bool z_half_kept = false;  // a z half the output keeps: it stays from z = 0 up
  double z_moved = 0.0;      // metres added to the first record's z
  // The converter copies the field node for node (the same grid): the value of the record at
  // full node n is the map's node n.
  bool copied = false;
  // The export's coordinate rounding: the largest distance between a record's printed
  // coordinates (times cscale) and its node, in steps of that axis, with the axis and line.
  double rounding = 0.0;
  int rounding_axis = 0;
  long rounding_line = 0;
  std::vector<SourceRecord> records;  // in table order, no mirror images
  std::vector<std::string> warnings;  // what the converter warns of, without a prefix
};

// A control file or a table that the converter would refuse; the text is whole, prefixed
// with the program's name as given, ready for standard error.
class SourceError : public std::runtime_error {
 public:
  explicit SourceError(const std::string& message) : std::runtime_error(message) {}
};

// How a replay of a run goes.
struct Replay {
  std::string control;            // the control file's path
  std::string table;              // a table read instead of the one it names ("" for that one)
  TaskPool* team = nullptr;       // the caller alone when null
  Phase last = Phase::output_grid;  // the list runs at least to the output grid
  ByteSink* field_file = nullptr;   // the field file's records, when the list runs that far
  // The caller wrote the table itself, one record a line from its first line: record r is
  // line r, and its printed coordinates are not read again (no rounding is reported).
  bool one_record_a_line = false;
};

// Runs the converter's phase list on `store` as `how` says, from the control file on,
// reading in the control file's folder and spoken by `program`, then reads the table a
// second time for each record's line and printed coordinates. Leaves the store as the list
// left it. The working directory is neither used (but for paths given relative to it) nor
// changed. Throws SourceError, its text starting with `program` and ": ", for every input
// error the converter gives (a missing, short or malformed file, located as the converter
// locates it) and for every stop of its checks on the control values and the input grid.
SourceTable replay_source_table(FieldStore& store, std::string_view program, const Replay& how);

// The same on a store of its own, to the output grid: the table a run of `control` reads.
SourceTable read_source_table(const std::string& control, std::string_view program,
                              TaskPool* team = nullptr);

}  // namespace korvane
