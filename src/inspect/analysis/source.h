// A field map against the table it was made from: how far the map, read as a tracking
// code reads it (trilinear between its nodes), departs from the solver's field at each
// record of the table.
#pragma once

#include <string>
#include <vector>

#include "fieldfile/field_map.h"
#include "driver/source_table.h"

namespace korvane::inspect {

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
  long outside = 0;        // records whose place lies outside the map
  Departures all;          // every record inside the map
  Departures on_nodes;     // those on a node of each axis (within 1e-9 of a step)
  double max = 0.0, rms = 0.0;     // all.largest() and all.rms; infinite when none is compared
  bool fault = false;              // max above the tolerance, or nothing compared
  std::string kept_planes;         // "x = 0, z = 0": the planes the map keeps, or empty
  std::vector<std::string> notes;  // what the reader must know to judge the figures
};

// Compares every record of `table` (at its own place: the coordinates times cscale, z placed
// as the converter places it; never its mirror images) with the map interpolated trilinearly
// there, exact at a node. A record within 1e-9 of a step of a node along an axis is taken on
// that node along that axis; one past an end node by more than that lies outside. The map's
// set that holds the table's field is compared: its E arrays for a triple of unknown kind.
// A departure that is not a number (a map holding NaN) counts as infinite. Does not throw
// but for std::bad_alloc.
SourceComparison compare_with_source(const FieldMap& map, const SourceTable& table,
                                     double tolerance);

// The report: what was read, the counts, per component the largest departure with its line
// and place, the rms, the same at the map's nodes, and last the line
// "source departure: max M, rms S".
std::string render_source_report(const SourceComparison& comparison, const SourceTable& table,
                                 double tolerance);

}  // namespace korvane::inspect
