#include "inspect/analysis/source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "store/grid.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
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

SourceComparison compare_with_source(const FieldMap& map, const SourceTable& table,
                                     double tolerance) {
  SourceComparison result;
  const bool magnetic = table.ifield == 1;
  result.set = magnetic ? 'H' : 'E';
  const int first = magnetic ? 3 : 0;
  const OutputField* arrays[3];
  map_arrays(map, magnetic, arrays, result.notes);
  for (int axis = 0; axis < 3; ++axis) {
    if (map.ksym(axis) == 0) continue;
    if (!result.kept_planes.empty()) result.kept_planes += ", ";
    result.kept_planes += std::string(axis_names[axis]) + " = 0";
  }

  for (const SourceRecord& record : table.records) {
    const double* f = record.field + first;
    result.reference =
        std::max(result.reference, std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]));
  }

  bool usable = true;
  for (int axis = 0; axis < 3; ++axis) {
    if (!increasing(map, axis)) {
      usable = false;
      result.notes.push_back(std::string("the map's nodes along ") + axis_names[axis] +
                             " do not increase: nothing is compared");
    }
  }

  Tally all, on_nodes;
  for (const SourceRecord& record : table.records) {
    Spot spot[3];
    const double place[3] = {record.x, record.y, record.z};
    bool inside = usable;
    for (int axis = 0; axis < 3 && inside; ++axis) {
      inside = locate(map, axis, place[axis], spot[axis]);
    }
    if (!inside) {
      ++result.outside;
      continue;
    }
    double difference[3];
    for (int c = 0; c < 3; ++c) {
      const double d = std::fabs(interpolate(*arrays[c], spot) - record.field[first + c]);
      difference[c] = std::isnan(d) ? infinity : d;
    }
    all.add(record, difference, result.reference);
    if (spot[0].on_node && spot[1].on_node && spot[2].on_node) {
      on_nodes.add(record, difference, result.reference);
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

namespace {

std::string place_text(const Worst& worst) {
  std::string text = "(";
  text += general_number(worst.x, 7);
  text += ", ";
  text += general_number(worst.y, 7);
  text += ", ";
  text += general_number(worst.z, 7);
  text += ")";
  return text;
}

void render_departures(std::string& out, const Departures& d, char set) {
  out += "    component  largest departure  line        (x, y, z) in m\n";
  for (int c = 0; c < 3; ++c) {
    const Worst& worst = d.worst[c];
    char line[320];
    if (worst.line > 0) {
      std::snprintf(line, sizeof line, "    %c%s         %-18s %-11ld %s\n", set, axis_names[c],
                    general_number(worst.relative, 3).c_str(), worst.line,
                    place_text(worst).c_str());
    } else {
      std::snprintf(line, sizeof line, "    %c%s         0                  (no record departs)\n",
                    set, axis_names[c]);
    }
    out += line;
  }
  out += "    rms departure " + general_number(d.rms, 3) + "\n";
}

std::string scaling_text(const SourceTable& table) {
  const std::string ifield = " (ifield " + std::to_string(table.ifield) + ")";
  if (table.ifield == 0) {
    return "E: the table's values times fscale " + general_number(table.fscale, 7) + " and 0.01" +
           ifield;
  }
  if (table.ifield == 1) {
    return "H: the table's values times fscale " + general_number(table.fscale, 7) + ifield;
  }
  return "E: the table's values as read" + ifield;
}

}  // namespace

std::string render_source_report(const SourceComparison& c, const SourceTable& table,
                                 double tolerance) {
  std::string out = "\nsource: table '" + printable(table.table) + "', named by '" +
                    printable(table.control) + "'\n";
  out += "  " + std::to_string(table.records.size()) + " records";
  out += table.ireim == 3 ? " without coordinates (placed on the grid of the control values)"
                          : " (loop order " + std::to_string(table.iord) + ")";
  out += "; " + scaling_text(table) + "\n";
  if (table.z_half_kept) {
    out += "  z placed as korvane places it: the z half kept from z = 0 up";
  } else {
    out += "  z placed as korvane places it";
  }
  out += table.z_moved != 0.0 ? ", moved by " + general_number(table.z_moved, 7) + " m\n"
                              : ", as read\n";
  for (const std::string& warning : table.warnings) out += "  korvane warns: " + warning + "\n";
  if (!c.kept_planes.empty()) {
    const bool several = c.kept_planes.find(',') != std::string::npos;
    out += std::string("  the map keeps the plane") + (several ? "s " : " ") + c.kept_planes +
           ": the records on its kept side are compared\n";
  }
  for (const std::string& note : c.notes) out += "  note: " + note + "\n";
  out += "  compared " + std::to_string(c.all.records) + " records, " + std::to_string(c.outside) +
         " outside the map\n";
  out += std::string("  departures relative to the table's largest |") + c.set +
         "| = " + general_number(c.reference, 7) + ":\n";
  if (c.all.records > 0) render_departures(out, c.all, c.set);
  if (c.on_nodes.records > 0) {
    out += "  at the " + std::to_string(c.on_nodes.records) +
           " records on the map's nodes (within 1e-9 of a step):\n";
    render_departures(out, c.on_nodes, c.set);
  } else {
    out += "  no record lies on the map's nodes\n";
  }
  if (c.all.records == 0) {
    out += "  verdict: NOTHING COMPARED (no record of the table lies inside the map)\n";
  } else if (c.fault) {
    out += "  verdict: DEPARTS (largest departure " + general_number(c.max, 3) +
           " above the tolerance " + general_number(tolerance, 3) + ")\n";
  } else {
    out += "  verdict: within the tolerance " + general_number(tolerance, 3) + "\n";
  }
  out += "source departure: max " + general_number(c.max, 3) + ", rms " + general_number(c.rms, 3) +
         "\n";
  return out;
}

}  // namespace korvane::inspect
