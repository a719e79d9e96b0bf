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
class TableScan {
 public:
  TableScan(FieldStore& s, Records& in) : s_(s), in_(in) {}

  void scan(UsualRecords* ahead) {
    read_required(first_);
    icount_ = 1;
    read_required(current_);
    icount_ = 2;
    s_.iord = 0;
    const int fast = first_change();
    if (fast >= 0) count_runs(fast, ahead);
    set_input_grid();
  }

 private:
  static std::int32_t clamp(std::int64_t n) {
    return static_cast<std::int32_t>(n > INT32_MAX ? INT32_MAX : n);
  }

  void read_required(double* target) {
    if (in_.try_read_reals(target, 3, fault_) != GroupStatus::complete) {
      const std::string what =
          "the coordinates of record " + std::to_string(icount_ + 1) +
          (fault_.status == GroupStatus::end_of_input
               ? " (the scan of the mesh needs a table that varies along x, y and z)"
               : "");
      in_.raise(fault_, 3, what);
    }
  }

  // The first axis whose coordinate changes from record 1 to record 2, or -1.
  int first_change() const {
    for (int a = 0; a < 3; ++a) {
      if (current_[a] != first_[a]) return a;
    }
    return -1;
  }

  // Reads records while the coordinates along `a` and `b` stay those of record 1.
  void read_while_same(int a, int b) {
    while (current_[a] == first_[a] && current_[b] == first_[b]) {
      read_required(current_);
      ++icount_;
    }
  }

  // Runs 1 to 3 from the fast axis on: the loop order, the steps and the counts.
  void count_runs(int fast, UsualRecords* ahead) {
    const int other1 = fast == 0 ? 1 : 0;
    const int other2 = fast == 2 ? 1 : 2;
    s_.iord = axis_weight[fast];
    steps_[fast] = current_[fast] - first_[fast];
    read_while_same(other1, other2);
    const std::int64_t fast_count = icount_ - 1;

    const int middle = current_[other1] != first_[other1] ? other1 : other2;
    const int slow = middle == other1 ? other2 : other1;
    s_.iord += 2 * axis_weight[middle];
    steps_[middle] = current_[middle] - first_[middle];
    read_while_same(slow, slow);
    const std::int64_t plane = icount_ - 1;

    s_.iord += 3 * axis_weight[slow];
    steps_[slow] = current_[slow] - first_[slow];
    if constexpr (std::is_same_v<Records, ParallelRecords>) {
      if (ahead != nullptr) read_ahead(fast, middle, slow, fast_count, plane / fast_count, *ahead);
    }
    count_to_end();
    const std::int64_t total = icount_ - 1;
    counts_[fast] = clamp(fast_count);
    counts_[middle] = clamp(plane / fast_count);
    counts_[slow] = clamp(total / plane);
  }

  // The fast and middle counts are those of the grid: the load's records can be placed
  // from here on, in the same pass that counts them, as far as the store holds them along
  // the slow axis.
  void read_ahead(int fast, int middle, int slow, std::int64_t fast_count,
                  std::int64_t middle_count, UsualRecords& ahead) {
    const std::int32_t capacity[3] = {Nixmax, Niymax, Nizmax};
    if (fast_count > capacity[fast] || middle_count > capacity[middle]) return;
    std::int32_t counts_ahead[3];
    counts_ahead[fast] = static_cast<std::int32_t>(fast_count);
    counts_ahead[middle] = static_cast<std::int32_t>(middle_count);
    counts_ahead[slow] = capacity[slow];
    RecordPlacement placement;
    if (placement.set_up(s_, counts_ahead)) {
      icount_ += in_.take_usual_records(s_, placement, ahead, current_);
    }
  }

  // Run 3: the end of the table and an unreadable record both end the count; the bounds
  // come from the last record read whole.
  void count_to_end() {
    for (bool more = true; more;) {
      double next[3];
      if (in_.try_read_reals(next, 3, fault_) == GroupStatus::complete) {
        current_[0] = next[0], current_[1] = next[1], current_[2] = next[2];
      } else {
        more = false;
      }
      ++icount_;
    }
  }

  // The bounds are the first and the last record read, times cscale.
  void set_input_grid() {
    s_.Ximin = first_[0] * s_.cscale;
    s_.Yimin = first_[1] * s_.cscale;
    s_.Zimin = first_[2] * s_.cscale;
    s_.Ximax = current_[0] * s_.cscale;
    s_.Yimax = current_[1] * s_.cscale;
    s_.Zimax = current_[2] * s_.cscale;
    s_.dXi = steps_[0] * s_.cscale;
    s_.dYi = steps_[1] * s_.cscale;
    s_.dZi = steps_[2] * s_.cscale;
    s_.Nix = counts_[0];
    s_.Niy = counts_[1];
    s_.Niz = counts_[2];
  }

  FieldStore& s_;
  Records& in_;
  GroupFault fault_;
  std::int64_t icount_ = 0;  // records read, and one more past the end of run 3
  double first_[3] = {};     // the first record's coordinates (table units)
  double current_[3] = {};   // the last record's read whole
  double steps_[3] = {};
  std::int32_t counts_[3] = {};
};

// The grid of a table without coordinates: the output region's extent (from 0 on an
// axis the export declares symmetric) with the output's counts.
void grid_from_control(FieldStore& s) {
  const std::int32_t codes[3] = {s.isym_x, s.isym_y, s.isym_z};
  GridExtent region = {{}, {}, {s.Nox, s.Noy, s.Noz}};
  region_bounds(s.aper, s.d_elm, codes, region);
  set_input_extent(s, region);
  s.dXi = node_step(s.Ximin, s.Ximax, s.Nix);
  s.dYi = node_step(s.Yimin, s.Yimax, s.Niy);
  s.dZi = node_step(s.Zimin, s.Zimax, s.Niz);
  s.iord = 0;
}

}  // namespace

void find_input_grid(FieldStore& s, const RunContext& run, UsualRecords* ahead) {
  if ((s.ireim == 1 || s.ireim == 2) && run.team != nullptr && run.team->threads() > 1) {
    ParallelRecords in(run.program, table_unit, table_path(s, run), 3, *run.team, run.layout);
    TableScan(s, in).scan(ahead);
  } else if (s.ireim == 1 || s.ireim == 2) {
    GroupReader in(run.program, table_unit, table_path(s, run));
    TableScan(s, in).scan(nullptr);
  } else {
    grid_from_control(s);
  }
  s.mesh_lo[0] = s.Ximin, s.mesh_lo[1] = s.Yimin, s.mesh_lo[2] = s.Zimin;
  s.mesh_hi[0] = s.Ximax, s.mesh_hi[1] = s.Yimax, s.mesh_hi[2] = s.Zimax;

  ListWriter& log = run.log;
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
    return n > capacity ||
           (unfolds_plane(isym, ksym) && 2 * static_cast<std::int64_t>(n) - 1 > capacity);
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
