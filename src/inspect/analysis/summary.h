// The default report of korvane-inspect: what the file is, its grid and header values, and
// for each component its range, its largest magnitude and where it lies, and its RMS.
#pragma once

#include <string>

#include "inspect/analysis/inspected_file.h"

namespace korvane::inspect {

struct ComponentStats {
  double min = 0.0;
  double max = 0.0;
  double rms = 0.0;
  double largest = 0.0;   // the value of largest magnitude, with its sign
  int at[3] = {1, 1, 1};  // its node (i, j, k)
  long non_finite = 0;    // NaN and infinite values, left out of everything above
};

// Over all Nox x Noy x Noz nodes; the first node wins a tie for the largest magnitude.
ComponentStats component_stats(const FieldMap& map, const OutputField& component);

// "1 (text, one record per array, x fastest)" and the like; "unknown" for another number.
const char* format_name(int format);

std::string summary_report(const InspectedFile& file);

}  // namespace korvane::inspect
