// The conversion driver: one straight pass over the phases of a run, in the working
// directory, on one field store.
#pragma once

#include <string>

#include "store/field_store.h"
#include "textio/errors.h"

namespace korvane {

inline constexpr const char* log_file_name = "korvane.log";
inline constexpr int log_unit = 8;

struct RunOutcome {
  int status = 0;       // 0 normal end, 1 fatal stop, 2 input/output error
  std::string message;  // the text for standard error (empty on a normal end)
};

// Runs one conversion: reads "korvane.dat" and the table it names, rewrites
// "korvane.log" and writes the output field file. Warnings go to `warnings` as they
// arise. The log keeps every record written before a stop. Does not throw for anything
// the input can cause.
RunOutcome run_conversion(FieldStore& store, Warnings& warnings);

}  // namespace korvane
