// A field map against the table it was made from: how far the map, read as a tracking
// code reads it (trilinear between its nodes), departs from the solver's field at each
// record of the table.
#pragma once

#include <string>
#include <vector>

#include "departure/departure.h"

namespace korvane::inspect {

// The text of the figure of the map's departure, as the terminal report ends with it:
// "source departure: max M, rms S".
std::string departure_headline(const SourceComparison& comparison);

// The report: what was read, the counts, per component the largest departure with its line
// and place, the rms, the same at the map's nodes, and last the line
// "source departure: max M, rms S".
std::string render_source_report(const SourceComparison& comparison, const SourceTable& table,
                                 double tolerance);

}  // namespace korvane::inspect
