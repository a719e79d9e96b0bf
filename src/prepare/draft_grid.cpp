#include "prepare/draft_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "prepare/export_columns.h"
#include "store/grid.h"
#include "store/grid_rules.h"

namespace korvane::prepare {
namespace {

constexpr int output_capacity[3] = {Noxmax, Noymax, Nozmax};

// The grids korvane will have: its full input grid after the shift, the unfolding and the
// centring, and the output grid from the drafted values, each with its nodes laid out.
struct Grids {
  GridExtent input, output;
  std::int32_t symcode = 0;
  Axis<Nizmax> input_nodes[3];  // the largest capacity holds any axis
  Axis<Nozmax> output_nodes[3];

  void lay_out_input() {
    for (int a = 0; a < 3; ++a) {
      lay_out_axis(input_nodes[a], input.lower[a], input.upper[a], input.count[a]);
    }
  }
  void lay_out_output() {
    for (int a = 0; a < 3; ++a) {
      lay_out_axis(output_nodes[a], output.lower[a], output.upper[a], output.count[a]);
    }
  }
  double input_node(int a, int n) const { return input_nodes[a](n); }
  double output_node(int a, int n) const { return output_nodes[a](n); }
  // Within korvane's same-grid figure, and within a thousandth of a step so that the
  // 19-point formula there gives the node's value to that fraction of a step's change.
  double tolerance(int a) const {
    const int n = input.count[a];
    return std::min(same_grid_tolerance, 1e-3 * node_step(input_node(a, 1), input_node(a, n), n));
  }
  // The input node at `at`, or 0 when none lies there.
  int node_at(int a, double at) const {
    int nearest = 0;
    double gap = std::numeric_limits<double>::infinity();
    for (int n = 1; n <= input.count[a]; ++n) {
      const double d = std::abs(input_node(a, n) - at);
      if (d < gap) gap = d, nearest = n;
    }
    return gap <= tolerance(a) ? nearest : 0;
  }
};

// The table's nodes at the two ends of the output's range along axis `a` (0 where none).
struct Ends {
  int first = 0, last = 0;
  bool found() const { return first != 0 && last > first; }
};

Ends ends_of(const Grids& g, int a) {
  return {g.node_at(a, g.output.lower[a]), g.node_at(a, g.output.upper[a])};
}

std::string range_text(const Grids& g, int a) {
  return "from " + figure(g.output.lower[a]) + " to " + figure(g.output.upper[a]) + " m";
}

// The nodes of axis `a` as `choice` asks, over the output range korvane lays out.
AxisDraft choose_nodes(const Grids& g, int a, const AxisChoice& choice) {
  AxisDraft d;
  d.table_nodes = g.input.count[a];
  const Ends ends = ends_of(g, a);
  const int intervals = ends.last - ends.first;
  const int capacity = output_capacity[a];
  auto own_every = [&](int stride) {
    d.own = true, d.from = ends.first, d.stride = stride;
    d.count = intervals / stride + 1;
  };
  if (choice.count > 0) {
    d.count = choice.count;
    if (ends.found() && choice.count > 1 && intervals % (choice.count - 1) == 0) {
      own_every(intervals / (choice.count - 1));
    } else {
      d.why = "--nodes asks for " + std::to_string(choice.count);
    }
    return d;
  }
  if (!ends.found()) {
    d.count = capacity;
    d.why = "the output runs " + range_text(g, a) + ", and the table's nodes do not fall on both ends";
    return d;
  }
  if (choice.stride > 0 && intervals % choice.stride == 0) {
    own_every(choice.stride);
  } else if (choice.stride < 0 && intervals <= capacity - 1) {
    own_every(1);
  } else {
    d.count = capacity;
    d.why = "the table's " + std::to_string(intervals + 1) + " nodes " + range_text(g, a) +
            " are more than the output's " + std::to_string(capacity);
  }
  return d;
}

// The full input grid korvane reaches from the table: its scan's bounds (the first and
// the last record times cscale), shifted, unfolded and centred by the converter's rules.
void take_input_grid(const DraftInput& in, Grids& g) {
  GridExtent exported;
  for (int a = 0; a < 3; ++a) {
    exported.lower[a] = in.first[a] * in.cscale;
    exported.upper[a] = in.last[a] * in.cscale;
    exported.count[a] = in.counts[a];
  }
  shift_z_range(exported.lower[2], exported.upper[2]);
  const UnfoldedGrid unfolded = unfold_grid(exported, in.isym, in.ksym);
  g.input = unfolded.grid;
  g.symcode = unfolded.symcode;
  centre_z_range(g.input.lower[2], g.input.upper[2], unfolded.z_half_kept);
  g.lay_out_input();
}

// Whether each output node of an axis drafted on the table's own nodes lies on its node.
void check_own_nodes(const Grids& g, GridDraft& draft) {
  for (int a = 0; a < 3; ++a) {
    AxisDraft& d = draft.axis[a];
    if (draft.direct) {
      d.own = true, d.from = 1, d.stride = 1, d.why.clear();
      continue;
    }
    for (int n = 1; d.own && n <= d.count; ++n) {
      const double gap =
          std::abs(g.output_node(a, n) - g.input_node(a, d.from + (n - 1) * d.stride));
      if (!(gap <= g.tolerance(a))) {
        d.own = false;
        d.why = "output node " + std::to_string(n) + " lies " + figure(gap) +
                " m from the table's node";
      }
    }
  }
}

// korvane's grids for the table `in`, the output's bounds laid out, its counts not yet.
void take_grids(const DraftInput& in, Grids& g, GridDraft& draft) {
  take_input_grid(in, g);
  draft.input = g.input;
  // The widest box centred on the axis inside the table; a kept half starts at its plane.
  double half_width[2];
  for (int a = 0; a < 2; ++a) {
    half_width[a] =
        in.ksym[a] != 0 ? g.input.upper[a] : std::min(-g.input.lower[a], g.input.upper[a]);
  }
  draft.aper = std::min(half_width[0], half_width[1]);
  draft.d_elm = 2 * g.input.upper[2];  // from -Zimax, or from 0 for a kept z half
  region_bounds(draft.aper, draft.d_elm, in.ksym, g.output);
}

}  // namespace

GridDraft draft_grid(const DraftInput& in) {
  Grids g;
  GridDraft draft;
  take_grids(in, g, draft);
  for (int a = 0; a < 3; ++a) {
    draft.axis[a] = choose_nodes(g, a, in.choice[a]);
    g.output.count[a] = draft.axis[a].count;
  }
  g.lay_out_output();
  draft.direct = same_grid(g.input, g.output, g.symcode);
  check_own_nodes(g, draft);
  return draft;
}

std::vector<int> strides_that_fit(const DraftInput& in, int a) {
  Grids g;
  GridDraft draft;
  take_grids(in, g, draft);
  const Ends ends = ends_of(g, a);
  const int intervals = ends.last - ends.first;
  std::vector<int> strides;
  if (!ends.found() || intervals <= output_capacity[a] - 1) return strides;
  for (int k = 2; k <= intervals; ++k) {
    if (intervals % k == 0 && intervals / k <= output_capacity[a] - 1) strides.push_back(k);
  }
  return strides;
}

}  // namespace korvane::prepare
