#include <cstdint>
#include <string>
#include <type_traits>

#include "import/parallel_load.h"
#include "import/table_import.h"
#include "textio/group_reader.h"

namespace korvane {
namespace {

constexpr int axis_weight[3] = {100, 10, 1};

// Scans a table with coordinates once, reading only the first three values of each
// record. The fastest axis is the first coordinate that changes from record 1 to record 2;
// run 1 counts the records along it, run 2 the records of one plane of the fast and middle
// axes, run 3 every record to the end of the table (or to its first unreadable record).
// Records is GroupReader or ParallelRecords.
template <class Records>
void scan_table(FieldStore& s, Records& in, UsualRecords* ahead) {
  std::int64_t icount = 0;
  double first[3];
  double current[3];
  GroupFault fault;
  auto read_required = [&](double* target) {
    if (in.try_read_reals(target, 3, fault) != GroupStatus::complete) {
      const std::string what =
          "the coordinates of record " + std::to_string(icount + 1) +
          (fault.status == GroupStatus::end_of_input
               ? " (the scan of the mesh needs a table that varies along x, y and z)"
               : "");
      in.raise(fault, 3, what);
    }
  };

  read_required(first);
  icount = 1;
  read_required(current);
  icount = 2;

  int fast = -1;
  for (int a = 0; a < 3; ++a) {
    if (current[a] != first[a]) {
      fast = a;
      break;
    }
  }
  std::int32_t counts[3] = {0, 0, 0};
  double steps[3] = {0.0, 0.0, 0.0};
  s.iord = 0;
  if (fast >= 0) {
    const int other1 = fast == 0 ? 1 : 0;
    const int other2 = fast == 2 ? 1 : 2;
    s.iord = axis_weight[fast];
    steps[fast] = current[fast] - first[fast];
    while (current[other1] == first[other1] && current[other2] == first[other2]) {
      read_required(current);
      ++icount;
    }
    const std::int64_t fast_count = icount - 1;

    const int middle = current[other1] != first[other1] ? other1 : other2;
    const int slow = middle == other1 ? other2 : other1;
    s.iord += 2 * axis_weight[middle];
    steps[middle] = current[middle] - first[middle];
    while (current[slow] == first[slow]) {
      read_required(current);
      ++icount;
    }
    const std::int64_t plane = icount - 1;

    s.iord += 3 * axis_weight[slow];
    steps[slow] = current[slow] - first[slow];
    if constexpr (std::is_same_v<Records, ParallelRecords>) {
      // The fast and middle counts are those of the grid: the load's records can be
      // placed from here on, in the same pass that counts them, as far as the store holds
      // them along the slow axis.
      const std::int32_t capacity[3] = {Nixmax, Niymax, Nizmax};
      const std::int64_t middle_count = plane / fast_count;
      if (ahead != nullptr && fast_count <= capacity[fast] && middle_count <= capacity[middle]) {
        std::int32_t counts_ahead[3];
        counts_ahead[fast] = static_cast<std::int32_t>(fast_count);
        counts_ahead[middle] = static_cast<std::int32_t>(middle_count);
        counts_ahead[slow] = capacity[slow];
        RecordPlacement placement;
        if (placement.set_up(s, counts_ahead)) {
          icount += in.take_usual_records(s, placement, *ahead, current);
        }
      }
    }
    // Run 3: the end of the table and an unreadable record both end the count; the
    // bounds come from the last record read whole.
    s.ios = 0;
    while (s.ios == 0) {
      double next[3];
      if (in.try_read_reals(next, 3, fault) == GroupStatus::complete) {
        current[0] = next[0], current[1] = next[1], current[2] = next[2];
      } else {
        s.ios = 1;
      }
      ++icount;
    }
    const std::int64_t total = icount - 1;
    auto clamp = [](std::int64_t n) {
      return static_cast<std::int32_t>(n > INT32_MAX ? INT32_MAX : n);
    };
    counts[fast] = clamp(fast_count);
    counts[middle] = clamp(plane / fast_count);
    counts[slow] = clamp(total / plane);
  }
  s.icount = static_cast<std::int32_t>(icount > INT32_MAX ? INT32_MAX : icount);

  s.xrec1 = first[0], s.yrec1 = first[1], s.zrec1 = first[2];
  s.xrec = current[0], s.yrec = current[1], s.zrec = current[2];
  s.Ximin = s.xrec1 * s.cscale;
  s.Yimin = s.yrec1 * s.cscale;
  s.Zimin = s.zrec1 * s.cscale;
  s.Ximax = s.xrec * s.cscale;
  s.Yimax = s.yrec * s.cscale;
  s.Zimax = s.zrec * s.cscale;
  s.dXi = steps[0] * s.cscale;
  s.dYi = steps[1] * s.cscale;
  s.dZi = steps[2] * s.cscale;
  s.Nix = counts[0];
  s.Niy = counts[1];
  s.Niz = counts[2];
}

// The grid of a table without coordinates: the output region's extent (from 0 on an
// axis the export declares symmetric) with the output's counts.
void grid_from_control(FieldStore& s) {
  s.Ximin = -s.aper;
  if (s.isym_x != 0) s.Ximin = 0.0;
  s.Ximax = s.aper;
  s.Yimin = -s.aper;
  if (s.isym_y != 0) s.Yimin = 0.0;
  s.Yimax = s.aper;
  s.Zimin = -(s.d_elm / 2.0);
  if (s.isym_z != 0) s.Zimin = 0.0;
  s.Zimax = s.d_elm / 2.0;
  s.Nix = s.Nox;
  s.Niy = s.Noy;
  s.Niz = s.Noz;
  s.dXi = (s.Ximax - s.Ximin) / static_cast<double>(s.Nix - 1);
  s.dYi = (s.Yimax - s.Yimin) / static_cast<double>(s.Niy - 1);
  s.dZi = (s.Zimax - s.Zimin) / static_cast<double>(s.Niz - 1);
  s.iord = 0;
}

}  // namespace

void find_input_grid(FieldStore& s, ListWriter& log, TaskPool* pool, ChunkLayout layout,
                     UsualRecords* ahead) {
  if ((s.ireim == 1 || s.ireim == 2) && pool != nullptr && pool->threads() > 1) {
    ParallelRecords in(table_unit, table_name(s), 3, *pool, layout);
    scan_table(s, in, ahead);
  } else if (s.ireim == 1 || s.ireim == 2) {
    GroupReader in(converter_name, table_unit, table_name(s));
    scan_table(s, in, nullptr);
  } else {
    grid_from_control(s);
  }
  s.mesh_lo[0] = s.Ximin, s.mesh_lo[1] = s.Yimin, s.mesh_lo[2] = s.Zimin;
  s.mesh_hi[0] = s.Ximax, s.mesh_hi[1] = s.Yimax, s.mesh_hi[2] = s.Zimax;

  log.record(" Input Grid parameters ");
  log.record(" Ximin, Ximax, dXi, Nix = ", s.Ximin, s.Ximax, s.dXi, s.Nix);
  log.record(" Yimin, Yimax, dYi, Niy = ", s.Yimin, s.Yimax, s.dYi, s.Niy);
  log.record(" Zimin, Zimax, dZi, Niz = ", s.Zimin, s.Zimax, s.dZi, s.Niz);
  log.record(" iord= ", s.iord);
  log.record(" ------------------------------ ");
}

void check_input_grid(const FieldStore& s) {
  if (s.Nix == 0 || s.Niy == 0 || s.Niz == 0) {
    throw FatalStop(" Input grid not found in the export table ");
  }
  // An axis is unfolded when its export code is set and differs from the output's; the
  // plane node is shared, so it then needs 2N - 1 nodes.
  auto too_large = [](std::int32_t n, int capacity, std::int32_t isym, std::int32_t ksym) {
    const bool unfolded = isym != 0 && isym != ksym;
    return n > capacity || (unfolded && 2 * static_cast<std::int64_t>(n) - 1 > capacity);
  };
  if (too_large(s.Nix, Nixmax, s.isym_x, s.ksym_x) ||
      too_large(s.Niy, Niymax, s.isym_y, s.ksym_y) ||
      too_large(s.Niz, Nizmax, s.isym_z, s.ksym_z)) {
    throw FatalStop(" Input grid larger than max input grid ");
  }
  // Written so that a step that is not a number fails as well.
  if (!(s.dXi > 0) || !(s.dYi > 0) || !(s.dZi > 0) || !(s.Ximax > s.Ximin) ||
      !(s.Yimax > s.Yimin) || !(s.Zimax > s.Zimin)) {
    throw FatalStop(" Input grid coordinates must increase along each axis ");
  }
}

}  // namespace korvane
