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

// The stride over `intervals` input intervals that the output's `capacity` nodes hold: 1
// when they fit, else the smallest that divides them and fits, as long as it leaves at
// least half the capacity's intervals (a coarser subset would give up more resolution than
// its exact nodes are worth: 59 intervals would keep 2 nodes); 0 when none does. The range is
// centred on 0 or starts at a plane, so a range without a node on 0 has an odd number of intervals,
// and its stride is odd too: the subset stays centred.
int stride_for(int intervals, int capacity) {
  const int most = capacity - 1;
  if (intervals <= most) return 1;
  for (int k = 2; intervals / k >= (most + 1) / 2; ++k) {
    if (intervals % k == 0 && intervals / k <= most) return k;
  }
  return 0;
}

// Chooses the nodes of axis `a` over the output range korvane lays out.
AxisDraft choose_nodes(const Grids& g, int a) {
  AxisDraft d;
  d.table_nodes = g.input.count[a];
  const int first = g.node_at(a, g.output.lower[a]);
  const int last = g.node_at(a, g.output.upper[a]);
  const std::string range =
      "from " + figure(g.output.lower[a]) + " to " + figure(g.output.upper[a]) + " m";
  if (first == 0 || last <= first) {
    d.count = output_capacity[a];
    d.why = "the output runs " + range + ", and the table's nodes do not fall on both ends";
    return d;
  }
  const int intervals = last - first;
  const int stride = stride_for(intervals, output_capacity[a]);
  if (stride == 0) {
    d.count = output_capacity[a];
    d.why = "the table's " + std::to_string(intervals + 1) + " nodes " + range +
            " are more than the output's " + std::to_string(output_capacity[a]) +
            ", and no stride that divides their " + std::to_string(intervals) +
            " intervals keeps at least half as many";
    return d;
  }
  d.own = true;
  d.from = first;
  d.stride = stride;
  d.count = intervals / stride + 1;
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

}  // namespace

GridDraft draft_grid(const DraftInput& in) {
  Grids g;
  take_input_grid(in, g);
  GridDraft draft;
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
  for (int a = 0; a < 3; ++a) {
    draft.axis[a] = choose_nodes(g, a);
    g.output.count[a] = draft.axis[a].count;
  }
  g.lay_out_output();
  draft.direct = same_grid(g.input, g.output, g.symcode);
  check_own_nodes(g, draft);
  return draft;
}

}  // namespace korvane::prepare
