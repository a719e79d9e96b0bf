// The conversion driver: one straight pass over the phase list of a run, in the working
// directory, on one field store.
#pragma once

#include <string>

#include "driver/run_team.h"
#include "store/field_store.h"
#include "textio/errors.h"

namespace korvane {

// The converter's name, first in each of its messages.
inline constexpr const char* program_name = "korvane";
inline constexpr const char* log_file_name = "korvane.log";
inline constexpr int log_unit = 8;

struct RunOutcome {
  int status = 0;       // 0 normal end, 1 fatal stop, 2 input/output error
  std::string message;  // the text for standard error (empty on a normal end)
};

// Runs one conversion: reads "korvane.dat" and the table it names, rewrites
// "korvane.log" and writes the output field file. Warnings go to `warnings` as they
// arise. The log keeps every record written before a stop. Does not throw for anything
// the input can cause. The table is read and the field file rendered on `threads`
// threads; every output is the same for any number.
RunOutcome run_conversion(FieldStore& store, Warnings& warnings, int threads = 1);

}  // namespace korvane
