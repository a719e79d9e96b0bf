// The second pass over the export, which writes the table; apart from write_preparation so
// that tests can run it on a team and a cut of their own.
#pragma once

#include <string>

#include "prepare/export_pass.h"
#include "prepare/prepare.h"
#include "textio/byte_sink.h"

namespace korvane::prepare {

// Writes to `out` the table of `plan`: for each of the scan's records, x y z and the chosen
// part's three components, each number's text as it stands in the export, one blank
// between them. Reads the export at `export_path` on `setup`'s team; the bytes written are
// the same for any team and any cut. Refuses (Refusal) a line longer than the converter
// reads; throws IoError when the export cannot be read or no longer holds the scan's records.
void write_table(const Plan& plan, const std::string& export_path, ByteSink& out,
                 PassSetup setup);

}  // namespace korvane::prepare
