// The records of the control file "korvane.dat", in order: what each one holds, how it is
// read, and the comment a drafted file carries after its values. The reader takes the
// order, the counts and the names of its messages from here, and the writer that drafts a
// control file renders from here, so the two cannot disagree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane {

enum class ControlValues { title, text, integers, reals };

struct ControlRecord {
  ControlValues values;
  int count;            // values in the group (1 for a title or the table name)
  const char* what;     // the name messages give the record: the variables it holds
  const char* comment;  // what a drafted file writes after the values
};

// Indexes into control_records, one per record.
enum ControlRecordIndex : std::size_t {
  title_1_record,
  title_2_record,
  table_record,
  ifield_record,
  isym_record,
  nfile_record,
  ifmt_record,
  ksym_record,
  d_elm_record,
  aper_record,
  fscale_record,
  cscale_record,
  counts_record,
  control_record_count
};

inline constexpr std::array<ControlRecord, control_record_count> control_records = {{
    {ControlValues::title, 1, "record 1 (title)", ""},
    {ControlValues::title, 1, "record 2 (title)", ""},
    {ControlValues::text, 1, "record 3 (table name)", ""},
    {ControlValues::integers, 1, "ifield", "ifield: 0 electric, 1 magnetic, 2 unscaled"},
    {ControlValues::integers, 3, "isym_x, isym_y, isym_z",
     "isym_x isym_y isym_z: symmetry planes of the table"},
    {ControlValues::integers, 1, "nfile", "nfile: output file eh_EMS.#NN"},
    {ControlValues::integers, 1, "ifmt", "ifmt: 0 unformatted, 1 text x fastest, 2 text z fastest"},
    {ControlValues::integers, 3, "ksym_x, ksym_y, ksym_z",
     "ksym_x ksym_y ksym_z: symmetry planes kept in the output"},
    {ControlValues::reals, 1, "d_elm", "d_elm (m): output z from -d_elm/2 to d_elm/2"},
    {ControlValues::reals, 1, "aper", "aper (m): output x and y from -aper to aper"},
    {ControlValues::reals, 1, "fscale", "fscale: field factor"},
    {ControlValues::reals, 1, "cscale", "cscale: table coordinates to metres"},
    {ControlValues::integers, 3, "Nox, Noy, Noz", "Nox Noy Noz: output nodes"},
}};

// The values of a control file as a drafting tool holds them, independent of the store.
struct ControlDraft {
  std::string titles[2];
  std::string table;
  std::int32_t ifield = 0;
  std::int32_t isym[3] = {0, 0, 0};
  std::int32_t nfile = 1;
  std::int32_t ifmt = 1;
  std::int32_t ksym[3] = {0, 0, 0};
  double d_elm = 0;
  double aper = 0;
  double fscale = 1;
  double cscale = 1;
  std::int32_t counts[3] = {0, 0, 0};
  // Replaces a record's usual comment where the draft knows better ("fscale: T to gauss").
  std::array<std::string, control_record_count> comments;
};

// The text of the control file: each record's values, then (from column 20) its comment.
// Reals are written in the shortest form that reads back to the same double. The titles
// and the table name are written as they stand; the caller keeps them to one line each.
// Does not throw but for std::bad_alloc.
std::string render_control_file(const ControlDraft& draft);

}  // namespace korvane
