#include "control/control_file.h"

#include <algorithm>
#include <cstring>

#include "control/control_records.h"
#include "textio/errors.h"
#include "textio/group_reader.h"

namespace korvane {

static_assert(control_records[isym_record].count == 3 && control_records[ksym_record].count == 3 &&
              control_records[counts_record].count == 3);

void read_control_file(FieldStore& s, const RunContext& run, const std::string& path) {
  GroupReader in(run.program, control_unit, path);
  const auto what = [](ControlRecordIndex index) { return control_records[index].what; };
  in.skip_record(what(title_1_record));
  in.skip_record(what(title_2_record));

  std::string_view name = in.read_text_record(what(table_record));
  const std::size_t kept = std::min<std::size_t>(name.size(), name_length);
  s.fname.fill(' ');
  std::memcpy(s.fname.data(), name.data(), kept);

  // A group of three integers, one for each axis.
  auto read_axes = [&](std::int32_t& x, std::int32_t& y, std::int32_t& z,
                       ControlRecordIndex index) {
    std::int32_t values[3];
    in.read_integers(values, 3, what(index));
    x = values[0], y = values[1], z = values[2];
  };
  in.read_integers(&s.ifield, 1, what(ifield_record));
  read_axes(s.isym_x, s.isym_y, s.isym_z, isym_record);
  in.read_integers(&s.nfile, 1, what(nfile_record));
  in.read_integers(&s.ifmt, 1, what(ifmt_record));
  read_axes(s.ksym_x, s.ksym_y, s.ksym_z, ksym_record);
  in.read_reals(&s.d_elm, 1, what(d_elm_record));
  in.read_reals(&s.aper, 1, what(aper_record));
  in.read_reals(&s.fscale, 1, what(fscale_record));
  in.read_reals(&s.cscale, 1, what(cscale_record));
  read_axes(s.Nox, s.Noy, s.Noz, counts_record);
}

void check_control_values(const FieldStore& s) {
  if (s.Noz > Nozmax || s.Nox > Noxmax || s.Noy > Noymax) {
    throw FatalStop(" Output grid larger than max PELIX grid ");
  }
  // One node along an axis would make its step a division by zero.
  if (s.Nox < 2 || s.Noy < 2 || s.Noz < 2) {
    throw FatalStop(" Output grid needs at least 2 nodes along each axis ");
  }
  // Codes outside 0..2 would otherwise end in a silently zero field.
  for (std::int32_t code : {s.isym_x, s.isym_y, s.isym_z, s.ksym_x, s.ksym_y, s.ksym_z}) {
    if (code < 0 || code > 2) throw FatalStop(" Symmetry codes must be 0, 1 or 2 ");
  }
}

}  // namespace korvane
