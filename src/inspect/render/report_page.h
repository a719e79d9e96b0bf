// korvane-inspect --report: one self-contained HTML page that shows a map before it drives
// a simulation. The header (the file, its grid, the planes it keeps), the statistics of
// each set, the checks with their verdict, the departure from the solver's table where
// --source gives one, the pictures (colour maps of every component on the planes through
// the axis and on an x-y plane, the on-axis profile with its integrals) and a footer naming
// the version and the command. The page loads nothing: no script, style sheet, font or
// image from elsewhere; the pictures are inline SVG, their cells embedded PNG images, and
// it reads without JavaScript. The map is shown as the beam code reads it, unfolded over
// the planes it keeps.
#pragma once

#include <string>
#include <vector>

#include "inspect/analysis/axis.h"
#include "inspect/analysis/checks.h"
#include "inspect/analysis/inspected_file.h"
#include "inspect/analysis/source.h"

namespace korvane::inspect {

// What the page shows, as the run's steps have found it.
struct ReportContext {
  const InspectedFile& file;
  const CheckReport& checks;
  const std::vector<AxisProfile>& profiles;  // empty when the axis cannot be reached
  std::string axis_note;                     // how the axis was reached, or why not
  const SourceComparison* source = nullptr;  // with --source
  const SourceTable* table = nullptr;
  double source_tolerance = 0.0;
  std::string command;  // the command line that made the page
};

// The page. Throws std::runtime_error when zlib cannot compress a picture.
std::string report_page(const ReportContext& context);

// A verdict as the page shows it, in green or in red.
struct Verdict {
  bool fault = false;
  std::string text;
};

// "Checks: no fault found", or "Checks: FAULT: " and what is faulty.
Verdict checks_verdict(const CheckReport& checks);
// The figure of the departure and whether it lies within the tolerance.
Verdict source_verdict(const SourceComparison& comparison, double tolerance);

// The page's sections, each a <section> element (report_checks.cpp, report_source.cpp).
std::string checks_section(const InspectedFile& file, const CheckReport& checks);
std::string source_section(const SourceComparison& comparison, const SourceTable& table,
                           double tolerance);

}  // namespace korvane::inspect
