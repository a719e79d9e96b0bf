// The command line of korvane-inspect, parsed in one place.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "inspect/render/openpmd.h"
#include "inspect/analysis/parity.h"
#include "fieldfile/field_reader.h"

namespace korvane::inspect {

// A command line that cannot be run; the message says what is wrong with it.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;
  bool version = false;
  std::string file;
  bool check = false;
  double parity_tolerance = default_parity_tolerance;
  std::string compare;     // the other field file, or empty
  double tolerance = 0.0;  // of --compare, relative to the largest magnitude of a set
  std::string source;      // the run's control file, whose table the map is measured against
  double source_tolerance = 0.01;  // of --source, relative to the table's largest |F|
  std::string axis;        // the on-axis profile's CSV, or empty
  std::string svg, vtk, csv;
  std::string report;      // the HTML page, or empty
  bool field_given = false;
  TripleSet triple = TripleSet::unknown;
  OpenPmdOptions openpmd;
};

// The text --help prints.
extern const char* const usage;

// Reads the arguments (without the program name). Throws UsageError for an unknown option,
// a missing or wrong value, no field file or two of them, or an output that would overwrite
// the field file. With --help or --version nothing else is required.
Options parse_options(const std::vector<std::string>& args);

}  // namespace korvane::inspect
