#include "departure/departure.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fieldfile/field_records.h"
#include "store/grid.h"

namespace korvane {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// A place this close to a node, in steps, is on it: the tolerance of the same-grid test.
constexpr double node_fraction = 1e-9;

// Where a place lies along one axis of the map: between nodes n and n + 1, at the fraction t
// of that step (t is 0 or 1 on a node).
struct Spot {
  int n = 1;
  double t = 0.0;
  bool on_node = false;
};

bool increasing(const FieldMap& map, int axis) {
  for (int n = 2; n <= map.count(axis); ++n) {
    if (!(map.node(axis, n) > map.node(axis, n - 1))) return false;
  }
  return map.count(axis) >= 1;
}

// False when `p` lies outside the axis's nodes (by more than node_fraction of the end step);
// the nodes must increase. A single node holds only its own place.
bool locate(const FieldMap& map, int axis, double p, Spot& spot) {
  const int count = map.count(axis);
  if (count == 1) {
    spot = {1, 0.0, true};
    return p == map.node(axis, 1);
  }
  const double first = map.node(axis, 1), last = map.node(axis, count);
  const double low = first - node_fraction * (map.node(axis, 2) - first);
  const double high = last + node_fraction * (last - map.node(axis, count - 1));
  if (!(p >= low && p <= high)) return false;
  // The last node at or below p, within 1 .. count - 1.
  int lo = 1, hi = count - 1;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (map.node(axis, mid) <= p) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  const double a = map.node(axis, lo), b = map.node(axis, lo + 1);
  const double t = std::clamp((p - a) / (b - a), 0.0, 1.0);
  spot.n = lo;
  spot.on_node = t <= node_fraction || t >= 1.0 - node_fraction;
  spot.t = t <= node_fraction ? 0.0 : t >= 1.0 - node_fraction ? 1.0 : t;
  return true;
}

// The nodes around a place that trilinear interpolation reads, with their weights: at most
// eight, those of weight 0 left out, so that the value on a node is that node's value
// exactly (and a node not read cannot spoil it).
struct Corners {
  int count = 0;
  std::size_t offset[8];
  double weight[8];

  explicit Corners(const Spot spot[3]) {
    const std::size_t base = OutputField::offset(spot[0].n, spot[1].n, spot[2].n);
    constexpr std::size_t step[3] = {1, OutputField::nx,
                                     std::size_t{OutputField::nx} * OutputField::ny};
    for (int dk = 0; dk < 2; ++dk) {
      const double wk = dk == 0 ? 1.0 - spot[2].t : spot[2].t;
      if (wk == 0.0) continue;
      for (int dj = 0; dj < 2; ++dj) {
        const double wj = dj == 0 ? 1.0 - spot[1].t : spot[1].t;
        if (wj == 0.0) continue;
        for (int di = 0; di < 2; ++di) {
          const double wi = di == 0 ? 1.0 - spot[0].t : spot[0].t;
          if (wi == 0.0) continue;
          offset[count] = base + di * step[0] + dj * step[1] + dk * step[2];
          weight[count++] = wi * wj * wk;
        }
      }
    }
  }
  // The sum over the corners, in one fixed order.
  double of(const OutputField& f) const {
    const double* v = f.values.data();
    double sum = 0.0;
    for (int c = 0; c < count; ++c) sum += weight[c] * v[offset[c]];
    return sum;
  }
};

// An absolute figure over the reference; a departure from a zero table is infinite.
double relative_to(double value, double reference) {
  if (value == 0.0) return 0.0;
  return reference > 0.0 ? value / reference : infinity;
}

// Sums over one group of records, turned into Departures by finish().
struct Tally {
  Departures figures;
  double squares = 0.0;
  double worst_difference[3] = {};  // the absolute difference behind each worst relative

  void add(const SourceRecord& record, const double difference[3], double reference) {
    ++figures.records;
    for (int c = 0; c < 3; ++c) {
      // The relative figure grows with the difference: one no larger cannot beat the worst.
      if (difference[c] > worst_difference[c]) {
        const double relative = relative_to(difference[c], reference);
        Worst& worst = figures.worst[c];
        if (relative > worst.relative) {
          worst = {relative, record.line, record.x, record.y, record.z};
          worst_difference[c] = difference[c];
        }
      }
      squares += difference[c] * difference[c];
    }
  }
  // Takes the next group's sums, which come after this one's: a worst value it only
  // equals stays this group's.
  void merge(const Tally& next) {
    figures.records += next.figures.records;
    for (int c = 0; c < 3; ++c) {
      if (next.figures.worst[c].relative > figures.worst[c].relative) {
        figures.worst[c] = next.figures.worst[c];
        worst_difference[c] = next.worst_difference[c];
      }
    }
    squares += next.squares;
  }
  Departures finish(double reference) {
    figures.rms =
        figures.records > 0
            ? relative_to(std::sqrt(squares / static_cast<double>(figures.records)), reference)
            : 0.0;
    return figures;
  }
};

// The map's arrays that hold the set the table fills, with what the reader must know when
// they are not plainly that set.
void map_arrays(const FieldMap& map, bool magnetic, const OutputField* arrays[3],
                std::vector<std::string>& notes) {
  const OutputField* e[3] = {&map.ExOut, &map.EyOut, &map.EzOut};
  const OutputField* h[3] = {&map.HxOut, &map.HyOut, &map.HzOut};
  const bool unknown_kind = map.sets == FieldSets::electric_or_magnetic;
  const OutputField* const* chosen = magnetic && !unknown_kind ? h : e;
  std::copy(chosen, chosen + 3, arrays);
  const char* wanted = magnetic ? "H" : "E";
  if (unknown_kind) {
    notes.push_back(std::string("the map's triple of unknown kind is taken as the table's ") +
                    wanted);
  } else if (map.sets == FieldSets::none || (magnetic && map.sets == FieldSets::electric) ||
             (!magnetic && map.sets == FieldSets::magnetic)) {
    notes.push_back(std::string("the map holds ") + describe(map.sets) + ", no " + wanted +
                    ": the table's " + wanted + " is compared with zero");
  }
}

}  // namespace

double Departures::largest() const {
  return std::max({worst[0].relative, worst[1].relative, worst[2].relative});
}

namespace {

// The map's node `n` of an axis as a spot: between n and n + 1 at t = 0, or the last node
// as the end of the step before it.
Spot node_spot(const FieldMap& map, int axis, int n) {
  if (map.count(axis) == 1) return {1, 0.0, true};
  if (n >= map.count(axis)) return {map.count(axis) - 1, 1.0, true};
  return {n, 0.0, true};
}

// Where the records of each node of the full input grid fall along each axis of the map,
// found once per node: every record of a node shares its place. A record whose node the
// table does not lay out is located on its own.
struct Places {
  const FieldMap& map;
  bool by_node = false;  // the converter copies: node n is the map's node n
  std::vector<Spot> spots[3];
  std::vector<char> inside[3];

  Places(const FieldMap& m, const SourceTable& table) : map(m) {
    by_node = table.copied && map.Nox == table.full_counts[0] &&
              map.Noy == table.full_counts[1] && map.Noz == table.full_counts[2];
    for (int axis = 0; axis < 3; ++axis) {
      const std::vector<double>& nodes = table.full_nodes[axis];
      spots[axis].resize(nodes.size() + 1);
      inside[axis].assign(nodes.size() + 1, 0);
      for (std::size_t n = 1; n <= nodes.size(); ++n) {
        if (by_node) {
          spots[axis][n] = node_spot(map, axis, static_cast<int>(n));
          inside[axis][n] = 1;
        } else {
          inside[axis][n] = locate(map, axis, nodes[n - 1], spots[axis][n]) ? 1 : 0;
        }
      }
    }
  }

  // The record's spots; the first axis that puts it outside the map, or -1.
  int place(const SourceRecord& record, Spot spot[3]) const {
    const double at[3] = {record.x, record.y, record.z};
    for (int axis = 0; axis < 3; ++axis) {
      const auto n = static_cast<std::size_t>(record.node[axis]);
      if (n >= 1 && n < spots[axis].size()) {
        if (!inside[axis][n]) return axis;
        spot[axis] = spots[axis][n];
      } else if (!locate(map, axis, at[axis], spot[axis])) {
        return axis;
      }
    }
    return -1;
  }
};

// Whether the map can be read at all (its nodes increase), with a note for each axis that
// cannot.
bool readable(const FieldMap& map, SourceComparison& result) {
  bool usable = true;
  for (int axis = 0; axis < 3; ++axis) {
    if (!increasing(map, axis)) {
      usable = false;
      result.notes.push_back(std::string("the map's nodes along ") + axis_names[axis] +
                             " do not increase: nothing is compared");
    }
  }
  return usable;
}

// The comparison of one block of records, merged into the whole in block order, so that
// every figure is the same on any number of threads.
struct Block {
  Tally all, on_nodes;
  long outside_by_axis[3] = {};
  double worst = -1.0;
  long worst_record = -1;

  void merge_into(SourceComparison& result, Tally& all_total, Tally& on_nodes_total,
                  double& worst_total) const {
    all_total.merge(all);
    on_nodes_total.merge(on_nodes);
    for (int a = 0; a < 3; ++a) result.outside_by_axis[a] += outside_by_axis[a];
    if (worst > worst_total) worst_total = worst, result.worst_record = worst_record;
  }
};

// Records a block: fixed, so that the sums are added in the same order on any team.
constexpr std::size_t block_records = 1 << 16;

}  // namespace

namespace {

// The table's largest field magnitude, the unit of the relative figures: block by block on
// the team (a largest value is the same in any order).
double largest_magnitude(const SourceTable& table, TaskPool* team) {
  const std::size_t count = table.records.size();
  std::vector<double> largest((count + block_records - 1) / block_records, 0.0);
  run_spans(team, 0, static_cast<int>(largest.size()) - 1, [&](int first, int last) {
    for (int b = first; b <= last; ++b) {
      const std::size_t end = std::min(count, (static_cast<std::size_t>(b) + 1) * block_records);
      double& l = largest[static_cast<std::size_t>(b)];
      for (std::size_t r = static_cast<std::size_t>(b) * block_records; r < end; ++r) {
        const double* f = table.records[r].field;
        l = std::max(l, std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]));
      }
    }
  });
  double reference = 0.0;
  for (double l : largest) reference = std::max(reference, l);
  return reference;
}

}  // namespace

SourceComparison compare_with_source(const FieldMap& map, const SourceTable& table,
                                     double tolerance, TaskPool* team, bool each_record) {
  SourceComparison result;
  const bool magnetic = table.ifield == 1;
  result.set = magnetic ? 'H' : 'E';
  const OutputField* arrays[3];
  map_arrays(map, magnetic, arrays, result.notes);
  for (int axis = 0; axis < 3; ++axis) {
    if (map.ksym(axis) == 0) continue;
    if (!result.kept_planes.empty()) result.kept_planes += ", ";
    result.kept_planes += std::string(axis_names[axis]) + " = 0";
  }
  result.reference = largest_magnitude(table, team);
  const bool usable = readable(map, result);
  const Places places(map, table);
  const std::size_t count = table.records.size();
  if (each_record) result.departure.assign(count, std::numeric_limits<double>::quiet_NaN());
  std::vector<Block> blocks((count + block_records - 1) / block_records);
  run_spans(team, 0, static_cast<int>(blocks.size()) - 1, [&](int first, int last) {
    for (int b = first; b <= last; ++b) {
      Block& block = blocks[static_cast<std::size_t>(b)];
      const std::size_t end = std::min(count, (static_cast<std::size_t>(b) + 1) * block_records);
      for (std::size_t r = static_cast<std::size_t>(b) * block_records; r < end; ++r) {
        const SourceRecord& record = table.records[r];
        Spot spot[3];
        const int outside_axis = usable ? places.place(record, spot) : 0;
        if (outside_axis >= 0) {
          ++block.outside_by_axis[outside_axis];
          continue;
        }
        const Corners corners(spot);
        double difference[3], squares = 0.0;
        for (int c = 0; c < 3; ++c) {
          const double d = std::fabs(corners.of(*arrays[c]) - record.field[c]);
          difference[c] = std::isnan(d) ? infinity : d;
          squares += difference[c] * difference[c];
        }
        block.all.add(record, difference, result.reference);
        if (spot[0].on_node && spot[1].on_node && spot[2].on_node) {
          block.on_nodes.add(record, difference, result.reference);
        }
        if (!each_record) continue;
        result.departure[r] = relative_to(std::sqrt(squares), result.reference);
        if (result.departure[r] > block.worst) {
          block.worst = result.departure[r];
          block.worst_record = static_cast<long>(r);
        }
      }
    }
  });
  Tally all, on_nodes;
  double worst = -1.0;
  for (const Block& block : blocks) block.merge_into(result, all, on_nodes, worst);
  for (long n : result.outside_by_axis) result.outside += n;
  result.all = all.finish(result.reference);
  result.on_nodes = on_nodes.finish(result.reference);
  const bool compared = result.all.records > 0;
  result.max = compared ? result.all.largest() : infinity;
  result.rms = compared ? result.all.rms : infinity;
  result.fault = !(result.max <= tolerance);
  return result;
}

std::unique_ptr<FieldMap> map_of_store(const FieldStore& s) {
  std::unique_ptr<FieldMap> map = make_field_map();
  copy_file_values(s, *map);
  map->format = s.ifmt;
  map->sets = s.ifield == 1   ? FieldSets::magnetic
              : s.ifield == 0 ? FieldSets::electric
                              : FieldSets::both;
  return map;
}

}  // namespace korvane
