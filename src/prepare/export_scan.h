// The first pass over a solver export: its header, its columns, the regular mesh its
// records lie on, and the figures of the field that the symmetry and the part are chosen
// from. The export is streamed a window at a time; nothing of it is held past its window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "prepare/export_columns.h"
#include "prepare/export_pass.h"

namespace korvane::prepare {

struct AxisMesh {
  int count = 0;
  double lo = 0, hi = 0, step = 0;  // in the export's length unit
  double deviation = 0;             // largest distance of a coordinate from its node, in steps
  int worst_node = 0;               // where that distance was found (from 0)
};

inline constexpr int real_part = 0;
inline constexpr int imaginary_part = 1;

struct ExportScan {
  long header_lines = 0;       // lines before the first record
  std::string header;          // the line of column titles ("" without a header)
  long first_record_line = 0;  // line of the first record (from 1)
  ColumnLayout layout;

  long records = 0;               // records on the mesh, a dropped repeat not counted
  long repeat_line = 0;           // line of the exact repeat of the last record, dropped (0: none)
  int order[3] = {0, 1, 2};       // axes from the fastest to the slowest
  AxisMesh axis[3];               // x, y, z
  std::size_t widest_record = 0;  // characters of the longest record line
  // The coordinates of the table's first and last records as written (the last of the
  // records at nodes `every` keeps): korvane's bounds are these times cscale.
  double first[3] = {};
  double last[3] = {};

  // Largest absolute value of each component, per part, over the whole table, and over the
  // nodes of the first plane of each axis (the nodes whose index on that axis is 0).
  double largest[2][3] = {};
  double largest_on_plane[3][2][3] = {};

  // The parity of each component about each plane x, y, z = 0, per part, from weighted sums
  // over all records: with a weight of +1 or -1 that is the same for a node and its mirror
  // image, sum(w f) vanishes for an odd component and sum(w sign f) for an even one, while
  // a sum that does not vanish is of the size of sqrt(records) times the root mean square
  // of the part of f that breaks the parity. Meaningful for an axis whose nodes lie
  // symmetric about 0.
  double odd_sum[2][3][3] = {};  // [part][axis][component]
  double even_sum[2][3][3] = {};
};

// Reads the export at `path`; a file without a header is read with the columns korvane
// itself assumes. Throws Refusal, located at the file and the
// line, for anything that makes the export unusable: a header that cannot be read, a record
// that is short or holds text where a number belongs, a line, plane or slanted cut, an
// incomplete or irregular mesh, a node given twice, coordinates that decrease, fewer than
// 3 nodes along an axis. Throws IoError when the file cannot be read. `every` names the
// nodes the table will keep along each axis (every K-th from the first), for `last`. Reads
// on every processor this process may use.
ExportScan scan_export(const std::string& path, const std::array<int, 3>& every = {1, 1, 1});
// The same on `setup`'s team, cutting the file as it says; the scan is the same for any
// team and any cut.
ExportScan scan_export(const std::string& path, PassSetup setup,
                       const std::array<int, 3>& every = {1, 1, 1});

// "z fastest, then y, then x".
std::string describe_order(const int order[3]);

}  // namespace korvane::prepare
