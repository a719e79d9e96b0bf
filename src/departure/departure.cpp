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

// Trilinear between the eight nodes around the place; a node of weight 0 is not read, so
// the value on a node is that node's value exactly.
double interpolate(const OutputField& f, const Spot spot[3]) {
  double sum = 0.0;
  for (int dk = 0; dk < 2; ++dk) {
    const double wk = dk == 0 ? 1.0 - spot[2].t : spot[2].t;
    if (wk == 0.0) continue;
    for (int dj = 0; dj < 2; ++dj) {
      const double wj = dj == 0 ? 1.0 - spot[1].t : spot[1].t;
      if (wj == 0.0) continue;
      for (int di = 0; di < 2; ++di) {
        const double wi = di == 0 ? 1.0 - spot[0].t : spot[0].t;
        if (wi == 0.0) continue;
        sum += wi * wj * wk * f(spot[0].n + di, spot[1].n + dj, spot[2].n + dk);
      }
    }
  }
  return sum;
}

// An absolute figure over the reference; a departure from a zero table is infinite.
double relative_to(double value, double reference) {
  if (value == 0.0) return 0.0;
  return reference > 0.0 ? value / reference : infinity;
}

// Sums over one group of records, turned into Departures by finish().
struct Tally {
  Departures figures;
  double squares = 0.0;

  void add(const SourceRecord& record, const double difference[3], double reference) {
    ++figures.records;
    for (int c = 0; c < 3; ++c) {
      const double relative = relative_to(difference[c], reference);
      Worst& worst = figures.worst[c];
      if (relative > worst.relative) {
        worst = {relative, record.line, record.x, record.y, record.z};
      }
      squares += difference[c] * difference[c];
    }
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

// Where the record's value lies in the map: its node when the converter copies, else its
// place located on the map's axes. The first axis that puts it outside, or -1.
int place_in_map(const FieldMap& map, const SourceRecord& record, bool by_node, Spot spot[3]) {
  const double place[3] = {record.x, record.y, record.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (by_node) {
      spot[axis] = node_spot(map, axis, record.node[axis]);
    } else if (!locate(map, axis, place[axis], spot[axis])) {
      return axis;
    }
  }
  return -1;
}

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

}  // namespace

SourceComparison compare_with_source(const FieldMap& map, const SourceTable& table,
                                     double tolerance) {
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
  for (const SourceRecord& record : table.records) {
    const double* f = record.field;
    result.reference =
        std::max(result.reference, std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]));
  }
  const bool usable = readable(map, result);
  // A copy puts each record's value on the map's node of the same number.
  const bool by_node = table.copied && map.Nox == table.full_counts[0] &&
                       map.Noy == table.full_counts[1] && map.Noz == table.full_counts[2];

  Tally all, on_nodes;
  result.departure.assign(table.records.size(), std::numeric_limits<double>::quiet_NaN());
  double worst = -1.0;
  for (std::size_t r = 0; r < table.records.size(); ++r) {
    const SourceRecord& record = table.records[r];
    Spot spot[3];
    const int outside_axis = usable ? place_in_map(map, record, by_node, spot) : 0;
    if (!usable || outside_axis >= 0) {
      ++result.outside;
      ++result.outside_by_axis[outside_axis];
      continue;
    }
    double difference[3], squares = 0.0;
    for (int c = 0; c < 3; ++c) {
      const double d = std::fabs(interpolate(*arrays[c], spot) - record.field[c]);
      difference[c] = std::isnan(d) ? infinity : d;
      squares += difference[c] * difference[c];
    }
    all.add(record, difference, result.reference);
    if (spot[0].on_node && spot[1].on_node && spot[2].on_node) {
      on_nodes.add(record, difference, result.reference);
    }
    result.departure[r] = relative_to(std::sqrt(squares), result.reference);
    if (result.departure[r] > worst) {
      worst = result.departure[r];
      result.worst_record = static_cast<long>(r);
    }
  }
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
