// A field map against the table it was made from: how far the map, read as a tracking
// code reads it (trilinear between its nodes), departs from the solver's field at the place
// the converter gives each record's value, its node of the full input grid. Both companions
// measure with it: korvane-inspect --source after the conversion, korvane-prepare before.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/source_table.h"
#include "fieldfile/field_map.h"
#include "util/task_pool.h"

namespace korvane {

// The largest departure of one component, and the record where it is.
struct Worst {
  double relative = 0.0;  // |map - table| over the table's largest |F|
  long line = 0;          // 0 while no record departs
  double x = 0.0, y = 0.0, z = 0.0;
};

// The figures over one group of records.
struct Departures {
  long records = 0;
  Worst worst[3];          // per component of the set the table fills
  double rms = 0.0;        // sqrt(mean |map - table|^2) over the largest |F|
  double largest() const;  // of worst[0..2]
};

struct SourceComparison {
  char set = 'E';          // the set the table fills: 'H' for ifield 1, else 'E'
  double reference = 0.0;  // the table's largest |F| after scaling (the relative figures' unit)
  long outside = 0;        // records whose node lies outside the map
  long outside_by_axis[3] = {};  // the same, by the first axis that puts each outside
  Departures all;                // every record inside the map, at its node
  Departures on_nodes;           // those on a node of the map along each axis (within 1e-9 of a step)
  double max = 0.0, rms = 0.0;   // all.largest() and all.rms; infinite when none is compared
  bool fault = false;            // max above the tolerance, or nothing compared
  std::string kept_planes;       // "x = 0, z = 0": the planes the map keeps, or empty
  std::vector<std::string> notes;  // what the reader must know to judge the figures
  // Per record, in table order: the magnitude of (map - table) over its three components,
  // over `reference`; NaN for a record outside the map. Empty unless asked for.
  std::vector<double> departure;
  long worst_record = -1;  // the record of the largest such departure, -1 when none is kept
};

// Compares every record of `table` (never its mirror images) with the map at the place the
// converter gives the record's value: where the converter copies the field node for node
// (table.copied, and the map's counts are the full grid's), the map's node of the record;
// otherwise the record's node of the full input grid, the map interpolated trilinearly
// there, exact at a node. A place within 1e-9 of a step of a node along an axis is on that
// node along that axis; one past an end node by more than that lies outside. The map's set
// that holds the table's field is compared: its E arrays for a triple of unknown kind. A
// departure that is not a number (a map holding NaN) counts as infinite. The records are
// compared in fixed blocks on the team's threads (the caller alone when null), every figure
// the same on any team. With `each_record`, each record's departure is kept as well (for a
// picture of where the map departs). Does not throw but for std::bad_alloc.
SourceComparison compare_with_source(const FieldMap& map, const SourceTable& table,
                                     double tolerance, TaskPool* team = nullptr,
                                     bool each_record = true);

// The map the store's output grid holds, as a field file carries it before its values are
// rendered: what a candidate grid is measured on without writing it. The sets are those
// ifield names (both for ifield 2). Throws std::bad_alloc.
std::unique_ptr<FieldMap> map_of_store(const FieldStore& store);

}  // namespace korvane
