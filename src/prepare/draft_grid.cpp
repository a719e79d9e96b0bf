#include "prepare/draft_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "import/table_import.h"
#include "prepare/export_columns.h"
#include "regrid/regrid.h"
#include "store/field_store.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane::prepare {
namespace {

constexpr int output_capacity[3] = {Noxmax, Noymax, Nozmax};

// korvane copies the field node for node when every bound agrees within this (regrid's
// same-grid test); the same figure says when an output node is an input node.
constexpr double same_grid_metres = 1e-6;

// The store's axes, by number.
struct Axes {
  FieldStore& s;
  int input_count(int a) const { return a == 0 ? s.Nix : a == 1 ? s.Niy : s.Niz; }
  double input_node(int a, int n) const { return a == 0 ? s.Xi(n) : a == 1 ? s.Yi(n) : s.Zi(n); }
  double input_lower(int a) const { return a == 0 ? s.Ximin : a == 1 ? s.Yimin : s.Zimin; }
  double input_upper(int a) const { return a == 0 ? s.Ximax : a == 1 ? s.Yimax : s.Zimax; }
  double output_node(int a, int n) const {
    return a == 0 ? s.xmws(n) : a == 1 ? s.ymws(n) : s.zmws(n);
  }
  double output_lower(int a) const { return a == 0 ? s.Xmin : a == 1 ? s.Ymin : s.Zmin; }
  double output_upper(int a) const { return a == 0 ? s.Xmax : a == 1 ? s.Ymax : s.Zmax; }
  void set_output_count(int a, int count) const {
    (a == 0 ? s.Nox : a == 1 ? s.Noy : s.Noz) = count;
  }
  // Within korvane's same-grid figure, and within a thousandth of a step so that the
  // 19-point formula there gives the node's value to that fraction of a step's change.
  double tolerance(int a) const {
    const int n = input_count(a);
    const double step = (input_node(a, n) - input_node(a, 1)) / (n - 1);
    return std::min(same_grid_metres, 1e-3 * step);
  }
  // The input node at `at`, or 0 when none lies there.
  int node_at(int a, double at) const {
    int nearest = 0;
    double gap = std::numeric_limits<double>::infinity();
    for (int n = 1; n <= input_count(a); ++n) {
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
AxisDraft choose_nodes(const Axes& g, int a) {
  AxisDraft d;
  d.table_nodes = g.input_count(a);
  const int first = g.node_at(a, g.output_lower(a));
  const int last = g.node_at(a, g.output_upper(a));
  const std::string range =
      "from " + figure(g.output_lower(a)) + " to " + figure(g.output_upper(a)) + " m";
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

// The grid unfold_symmetry leaves, without its copy of the field (tens of megabytes of
// zeros on a large table): a plane the output keeps with the same code is not unfolded (a
// z half kept stays from z = 0); an unfolded axis of N nodes has 2N - 1, the plane node
// shared, from -max to max.
void unfold_grid(FieldStore& s) {
  s.z_half_kept = s.isym_z != 0 && s.isym_z == s.ksym_z ? 1 : 0;
  if (s.isym_x == s.ksym_x) s.isym_x = 0;
  if (s.isym_y == s.ksym_y) s.isym_y = 0;
  if (s.isym_z == s.ksym_z) s.isym_z = 0;
  s.symcode = 100 * s.isym_x + 10 * s.isym_y + s.isym_z;
  if (s.isym_x != 0) s.Nix = 2 * s.Nix - 1, s.Ximin = -s.Ximax;
  if (s.isym_y != 0) s.Niy = 2 * s.Niy - 1, s.Yimin = -s.Yimax;
  if (s.isym_z != 0) s.Niz = 2 * s.Niz - 1, s.Zimin = -s.Zimax;
}

}  // namespace

GridDraft draft_grid(const DraftInput& in) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  StringSink discarded;
  ListWriter log(discarded);
  // The scan's results: the bounds are the first and the last record times cscale.
  s.cscale = in.cscale;
  s.Ximin = in.first[0] * s.cscale, s.Ximax = in.last[0] * s.cscale;
  s.Yimin = in.first[1] * s.cscale, s.Yimax = in.last[1] * s.cscale;
  s.Zimin = in.first[2] * s.cscale, s.Zimax = in.last[2] * s.cscale;
  s.Nix = in.counts[0], s.Niy = in.counts[1], s.Niz = in.counts[2];
  s.isym_x = in.isym[0], s.isym_y = in.isym[1], s.isym_z = in.isym[2];
  s.ksym_x = in.ksym[0], s.ksym_y = in.ksym[1], s.ksym_z = in.ksym[2];
  shift_z(s, log);
  unfold_grid(s);
  centre_z(s, log);

  const Axes g{s};
  GridDraft draft;
  // The widest box centred on the axis inside the table; a kept half starts at its plane.
  double half_width[2];
  for (int a = 0; a < 2; ++a) {
    half_width[a] =
        in.ksym[a] != 0 ? g.input_upper(a) : std::min(-g.input_lower(a), g.input_upper(a));
  }
  s.aper = std::min(half_width[0], half_width[1]);
  s.d_elm = 2 * s.Zimax;  // from -Zimax, or from 0 for a kept z half
  // With no output node yet, this lays out the input grid and the output's bounds.
  s.Nox = s.Noy = s.Noz = 0;
  setup_output_grid(s, log);
  for (int a = 0; a < 3; ++a) {
    draft.axis[a] = choose_nodes(g, a);
    g.set_output_count(a, draft.axis[a].count);
  }
  setup_output_grid(s, log);
  draft.direct = same_grid(s);
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
  draft.aper = s.aper;
  draft.d_elm = s.d_elm;
  return draft;
}

}  // namespace korvane::prepare
