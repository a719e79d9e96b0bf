// The output field file "eh_EMS.#NN" in format 0 (unformatted sequential records),
// 1 (text, x fastest) or 2 (text, one record per node, z fastest).
#pragma once

#include <string>

#include "store/field_store.h"
#include "store/run_context.h"
#include "textio/byte_sink.h"
#include "textio/errors.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

inline constexpr int field_file_unit = 7;

// n as two digits with a leading zero ("07"), or "**" when it needs more than two
// characters (negative, or 100 and above).
std::string cnum2(std::int32_t n);

// The output field file's name for nfile: "eh_EMS.#" and cnum2(nfile).
std::string field_file_name(std::int32_t nfile);

// Names the file from nfile (warning to run.warnings when nfile is outside 0..99), logs the
// name, sets k_s_EH and iend, stops with the format message for an ifmt other than 0, 1 or
// 2, and writes the file in the working directory. The file is written under a temporary
// name in the same folder and renamed over the final name only when complete, so a failure
// (IoError, unit 7, spoken by run.program) leaves an earlier file of that name as it was and
// no temporary behind. With `into`, the records go there instead and no file is touched.
// With a team of more than one thread the text formats are rendered on all of them, byte
// for byte the same.
void write_field_file(FieldStore& store, const RunContext& run, ByteSink* into = nullptr);

// The records of each format, written to any sink (the file, or memory in tests); the text
// formats rendered on the pool's threads when it has more than one.
void write_format0(const FieldStore& store, ByteSink& sink);
void write_format1(const FieldStore& store, ByteSink& sink, TaskPool* team = nullptr);
void write_format2(const FieldStore& store, ByteSink& sink, TaskPool* team = nullptr);
// The one of the three that ifmt names (0, 1, anything else 2).
void write_format(const FieldStore& store, int ifmt, ByteSink& sink, TaskPool* team = nullptr);

}  // namespace korvane
