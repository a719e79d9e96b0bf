// The output grid korvane-prepare drafts: on the table's own nodes wherever they fit, so
// that the map korvane writes holds the table's values at the table's records; elsewhere
// the finest grid, said to be interpolated; and a table too large for korvane refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "control/control_file.h"
#include "fieldfile/field_reader.h"
#include "driver/source_table.h"
#include "import/table_import.h"
#include "departure/departure.h"
#include "prepare/prepare.h"
#include "support/test_support.h"
#include "symmetry/unfold.h"

namespace korvane::prepare {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::write_file;

// An export in mm and V/m, x fastest, its coordinates lo + n * step printed exactly (in
// tenths of a millimetre). The field is smooth but not a polynomial, so that a grid other
// than the table's shows, and does not vanish at the box's faces, so that a face read as
// zero shows: Ex odd in x and z, Ey odd in y and z, Ez even in all three, so that the
// planes x = 0 and y = 0 get code 1 and z = 0 code 2.
struct Mesh {
  int counts[3];
  int lo[3], step[3];  // tenths of a millimetre
};

std::string make_export(const Mesh& m) {
  std::string out = "x [mm]  y [mm]  z [mm]  Ex [V/m]  Ey [V/m]  Ez [V/m]\n------\n";
  char line[160];
  for (int k = 0; k < m.counts[2]; ++k) {
    for (int j = 0; j < m.counts[1]; ++j) {
      for (int i = 0; i < m.counts[0]; ++i) {
        const int c[3] = {m.lo[0] + i * m.step[0], m.lo[1] + j * m.step[1],
                          m.lo[2] + k * m.step[2]};
        const double x = c[0] * 1e-4, y = c[1] * 1e-4, z = c[2] * 1e-4;  // metres
        const double w = 4e-3, l = 4e-3;
        const double g = 1 / (1 + (x * x + y * y) / (w * w));
        std::snprintf(line, sizeof line, "%.1f %.1f %.1f %.9e %.9e %.9e\n", c[0] / 10.0,
                      c[1] / 10.0, c[2] / 10.0, 1e6 * x / w * std::sin(z / l) * g,
                      1e6 * y / w * std::sin(z / l) * g, 1e6 * std::cos(z / l) * g);
        out += line;
      }
    }
  }
  return out;
}

// How far the map korvane wrote in `dir` lies from the table there: at each record of the
// table, at its coordinates times cscale (z placed as korvane places it), the map
// interpolated trilinearly between its nodes against the record's value times korvane's
// scaling; the largest differences relative to the largest field vector of the table.
// korvane's 19-point formula gives an input node's own value except at the nodes that are
// first or last along two or three axes of its input grid at once (the edges and corners
// of the unfolded grid), so those records are told apart.
struct Departure {
  double on_nodes = 0;  // records on the map's nodes, off the input grid's edges
  double at_edges = 0;  // records on the map's nodes and on the input grid's edges
  double between = 0;   // records between the map's nodes
  long compared = 0, outside = 0;
  double largest() const { return std::max({on_nodes, at_edges, between}); }
};

// Where `p` falls along an axis of `count` nodes: the cell's first node and the fraction
// across it; false outside (beyond a billionth of a step).
template <int N>
bool locate(const Axis<N>& nodes, int count, double p, int& cell, double& t) {
  const double slack = 1e-9 * (nodes(2) - nodes(1));
  if (p < nodes(1) - slack || p > nodes(count) + slack) return false;
  cell = 1;
  while (cell + 1 < count && nodes(cell + 1) <= p) ++cell;
  t = std::clamp((p - nodes(cell)) / (nodes(cell + 1) - nodes(cell)), 0.0, 1.0);
  return true;
}

Departure departure(const fs::path& dir) {
  StorePtr control = make_store();
  testing::TestRun t;
  read_control_file(*control, t.run, (dir / "korvane.dat").string());
  const std::unique_ptr<FieldMap> map =
      read_field_file((dir / "eh_EMS.#01").string(), TripleSet::electric);
  std::vector<std::array<double, 6>> records;
  std::ifstream table(dir / "table.txt");
  std::array<double, 6> r;
  double lo[3] = {}, hi[3] = {};
  while (table >> r[0] >> r[1] >> r[2] >> r[3] >> r[4] >> r[5]) {
    if (records.empty()) std::copy(r.begin(), r.begin() + 3, lo);
    std::copy(r.begin(), r.begin() + 3, hi);
    records.push_back(r);
  }
  const double c = control->cscale;
  const int isym[3] = {control->isym_x, control->isym_y, control->isym_z};
  const int ksym[3] = {control->ksym_x, control->ksym_y, control->ksym_z};
  // korvane moves the table's first z node to 0 when it unfolds or keeps the z half, and
  // centres the table's z range otherwise.
  const double z_start = isym[2] != 0 ? 0 : -(hi[2] - lo[2]) * c / 2;
  double peak = 0;
  Departure d;
  for (const auto& rec : records) {
    double want[3];
    for (int k = 0; k < 3; ++k) want[k] = control->fscale * rec[3 + k] * 0.01;
    peak = std::max(peak, std::hypot(want[0], want[1], want[2]));
    int cell[3];
    double t[3];
    if (!locate(map->xmws, map->Nox, rec[0] * c, cell[0], t[0]) ||
        !locate(map->ymws, map->Noy, rec[1] * c, cell[1], t[1]) ||
        !locate(map->zmws, map->Noz, (rec[2] - lo[2]) * c + z_start, cell[2], t[2])) {
      ++d.outside;
      continue;
    }
    ++d.compared;
    bool on_node = true;
    int ends = 0;  // axes along which the record is an end of korvane's input grid
    for (int a = 0; a < 3; ++a) {
      on_node = on_node && (t[a] < 1e-9 || t[a] > 1 - 1e-9);
      const bool unfolded = isym[a] != 0 && isym[a] != ksym[a];
      ends += rec[a] == hi[a] || (rec[a] == lo[a] && !unfolded);
    }
    double& figure = !on_node ? d.between : ends >= 2 ? d.at_edges : d.on_nodes;
    const OutputField* arrays[3] = {&map->ExOut, &map->EyOut, &map->EzOut};
    for (int k = 0; k < 3; ++k) {
      double got = 0;
      for (int corner = 0; corner < 8; ++corner) {
        double weight = 1;
        int node[3];
        for (int a = 0; a < 3; ++a) {
          const int up = corner >> a & 1;
          weight *= up ? t[a] : 1 - t[a];
          node[a] = cell[a] + up;
        }
        if (weight != 0) got += weight * (*arrays[k])(node[0], node[1], node[2]);
      }
      figure = std::max(figure, std::abs(got - want[k]));
    }
  }
  d.on_nodes /= peak, d.at_edges /= peak, d.between /= peak;
  return d;
}

struct DraftCase {
  const char* name;
  Mesh mesh;
  int counts[3];      // drafted output nodes
  const char* own;    // per axis: 'y' the table's own nodes, 'n' not
  int stride[3];      // along the own axes
  bool direct;        // korvane copies node for node
  bool unfold = false;  // --unfold
};

void PrintTo(const DraftCase& c, std::ostream* os) { *os << c.name; }

// clang-format off
const DraftCase draft_cases[] = {
    // Whole and symmetric, even counts (no node on the axis): the direct path.
    {"whole_even_counts", {{16, 16, 20}, {-75, -75, -95}, {10, 10, 10}}, {16, 16, 20}, "yyy",
     {1, 1, 1}, true},
    // Whole, y wider than x: x decides aper, y keeps its nodes from -6 to 6 mm.
    {"whole_y_wider", {{13, 19, 11}, {-60, -90, -50}, {10, 10, 10}}, {13, 13, 11}, "yyy",
     {1, 1, 1}, false},
    // A z half of an even count: unfolded to 19 nodes, interpolated on its own nodes.
    {"half_z_even", {{16, 16, 10}, {-75, -75, 0}, {10, 10, 10}}, {16, 16, 19}, "yyy",
     {1, 1, 1}, false, true},
    // A quarter, x wider than y after unfolding (15 and 13 nodes): x keeps 13 of its 15.
    {"quarter_x_wider", {{8, 7, 9}, {0, 0, -40}, {10, 10, 10}}, {13, 13, 9}, "yyy", {1, 1, 1},
     false, true},
    {"eighth", {{6, 6, 8}, {0, 0, 0}, {10, 10, 10}}, {11, 11, 15}, "yyy", {1, 1, 1}, false,
     true},
    // A quarter whose planes the output keeps: nothing is unfolded, the field is copied.
    {"quarter_planes_kept", {{7, 7, 9}, {0, 0, -40}, {10, 10, 10}}, {7, 7, 9}, "yyy",
     {1, 1, 1}, true},
    // x off-centre with nodes on -5 and 5 mm; z away from 0, which korvane centres.
    {"off_centre_on_nodes", {{14, 11, 7}, {-50, -50, 20}, {10, 10, 10}}, {11, 11, 7}, "yyy",
     {1, 1, 1}, false},
    // x off-centre from -5.3 mm: +5.3 mm falls between its nodes, and y's too.
    {"off_centre_between_nodes", {{14, 13, 7}, {-53, -60, -30}, {10, 10, 10}}, {25, 25, 7},
     "nny", {1, 1, 1}, false},
    // A quarter from 0 to 14 mm: 29 nodes after unfolding, 28 intervals; the finest grid
    // departs less than every 2nd node.
    {"quarter_0_to_14_mm_unfolded", {{15, 15, 5}, {0, 0, -20}, {10, 10, 10}}, {25, 25, 5},
     "nny", {1, 1, 1}, false, true},
    // 46 nodes from -27 to 27 mm (45 intervals, no node on the axis): of the finest grid and
    // every 3rd, 5th, 9th, 15th or 45th node, the finest departs least on this peaked field.
    {"whole_46_finest_departs_least", {{46, 46, 5}, {-270, -270, -20}, {12, 12, 10}},
     {25, 25, 5}, "nny", {1, 1, 1}, false},
    // 301 z nodes (300 intervals): the finest grid departs less than every 2nd node.
    {"long_z_finest_departs_least", {{5, 5, 301}, {-20, -20, -1500}, {10, 10, 10}},
     {5, 5, 201}, "yyn", {1, 1, 1}, false},
    // 212 z nodes: 211 intervals, a prime; the finest grid, interpolated.
    {"long_z_prime_intervals", {{5, 5, 212}, {-20, -20, -1055}, {10, 10, 10}}, {5, 5, 201},
     "yyn", {1, 1, 1}, false},
};
// clang-format on

class DraftedGrid : public ::testing::TestWithParam<DraftCase> {};

TEST_P(DraftedGrid, LiesOnTheTablesNodesWhereTheyFit) {
  const DraftCase& row = GetParam();
  ScratchDir dir;
  write_file(dir / "export.txt", make_export(row.mesh));
  Options o;
  o.export_path = (dir / "export.txt").string();
  o.dir = dir.path().string();
  o.unfold = row.unfold;
  Plan plan = plan_preparation(o);
  write_preparation(plan, o);
  const GridDraft& g = plan.grid;
  bool all_own = true;
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(g.axis[a].count, row.counts[a]) << "axis " << a;
    EXPECT_EQ(g.axis[a].own, row.own[a] == 'y') << "axis " << a << ": " << g.axis[a].why;
    if (g.axis[a].own) {
      EXPECT_EQ(g.axis[a].stride, row.stride[a]) << "axis " << a;
    }
    all_own = all_own && g.axis[a].own;
  }
  EXPECT_EQ(g.direct, row.direct);
  // Where korvane interpolates, the report gives the command that measures the cost.
  const std::string report = report_text(plan);
  EXPECT_EQ(report.find("--source " + (dir / "korvane.dat").string()) != std::string::npos,
            !row.direct)
      << report;
  EXPECT_EQ(report.find("not the table's own") != std::string::npos, !all_own) << report;

  const testing::ProcessResult run = testing::run_korvane(dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string log = testing::read_file(dir / "korvane.log");
  EXPECT_EQ(log.find("Same symmetry and grid") != std::string::npos, row.direct);
  const Departure d = departure(dir.path());
  EXPECT_GT(d.compared, 0);
  // korvane-inspect --source gives the same figure as this independent computation.
  const std::unique_ptr<FieldMap> map =
      read_field_file((dir / "eh_EMS.#01").string(), TripleSet::electric);
  const SourceComparison source = compare_with_source(
      *map, read_source_table((dir / "korvane.dat").string(), "test"), 0.01);
  EXPECT_EQ(source.outside, d.outside);
  EXPECT_NEAR(source.max, d.largest(), 1e-12 + 1e-9 * d.largest());
  if (all_own) {
    // The table's value at each record on the map's nodes. Where korvane interpolates, its
    // formula departs from a node's value on the edges of its input grid (see Departure),
    // so those records are held to this only where it copies.
    EXPECT_LE(d.on_nodes, 1e-12);
    if (row.direct) {
      EXPECT_LE(d.largest(), 1e-12);
    }
  } else {
    EXPECT_GT(d.largest(), 1e-9);  // the interpolation shows
  }
}

INSTANTIATE_TEST_SUITE_P(Exports, DraftedGrid, ::testing::ValuesIn(draft_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DraftedGrid, RefusesATableTooLargeForKorvaneAndNamesTheSmallestEvery) {
  ScratchDir dir;
  // 61 nodes along x (-30..30 mm), and a quarter's 30 along y, which unfold to 59.
  write_file(dir / "export.txt", make_export({{61, 30, 5}, {-300, 0, -20}, {10, 10, 10}}));
  Options o;
  o.export_path = (dir / "export.txt").string();
  o.dir = dir.path().string();
  o.unfold = true;
  try {
    plan_preparation(o);
    ADD_FAILURE() << "not refused";
  } catch (const Refusal& refusal) {
    const std::string what = refusal.what();
    EXPECT_NE(what.find("gives 61 x 59 x 5 nodes; y unfolded from 30"), std::string::npos) << what;
    EXPECT_NE(what.find("at most 50 x 50 x 402"), std::string::npos) << what;
    EXPECT_NE(what.find("the smallest that fits is --every 2 2 1"), std::string::npos) << what;
  }
  // Every 2nd node: 31 x 15 in the table, y from -28 to 28 mm after unfolding, which
  // decides aper; with --nodes 15 15 5, x keeps every 2nd of its nodes from -28 to 28 mm, y
  // every 2nd of its 29.
  o.every = {2, 2, 1};
  o.nodes = {15, 15, 5};
  Plan plan = plan_preparation(o);
  EXPECT_EQ(plan.table_counts[0] * 100 + plan.table_counts[1], 3115);
  write_preparation(plan, o);
  EXPECT_EQ(plan.grid.axis[0].count * 100 + plan.grid.axis[1].count, 1515);
  EXPECT_EQ(plan.grid.axis[0].stride * 10 + plan.grid.axis[1].stride, 22);
  ASSERT_EQ(testing::run_korvane(dir.path()).status, 0);
  const Departure d = departure(dir.path());
  EXPECT_EQ(d.compared, 29 * 15 * 5);  // x from -28 to 28 mm, as the unfolded y
  EXPECT_LE(d.on_nodes, 1e-12);
  // The table's y ends at 28 mm, short of the export's 29: a note says so.
  ASSERT_EQ(plan.notes.size(), 2u);
  EXPECT_NE(plan.notes[1].find("along y, 15 of 30; it ends at 28, short of the export's 29"),
            std::string::npos)
      << plan.notes[1];
  // Every 3rd of 5 z nodes leaves 2, fewer than korvane needs.
  o.every = {2, 2, 3};
  EXPECT_THROW(plan_preparation(o), Refusal);
}

// The draft's view of korvane's full input grid against the grid the converter's own
// phases leave (shift, unfolding, centring) on the same table, for every pair of export and
// output codes on each axis: the draft must not drift from the converter.
struct CodePair {
  int axis, isym, ksym;
};

class DraftedInputGrid : public ::testing::TestWithParam<CodePair> {};

TEST_P(DraftedInputGrid, IsTheGridTheConverterUnfolds) {
  const CodePair c = GetParam();
  DraftInput in;
  const int counts[3] = {5, 7, 9};
  for (int a = 0; a < 3; ++a) {
    in.counts[a] = counts[a];
    in.last[a] = 2.0 + a;
    // A half starts at its plane; z off 0 besides, so that it is shifted as well.
    in.first[a] = a == c.axis && c.isym != 0 ? 0.0 : a == 2 ? 0.5 : -in.last[a];
  }
  in.cscale = 0.01;
  in.isym[c.axis] = c.isym;
  in.ksym[c.axis] = c.ksym;
  const GridDraft draft = draft_grid(in);

  StorePtr store = make_store();
  FieldStore& s = *store;
  s.Ximin = in.first[0] * in.cscale, s.Ximax = in.last[0] * in.cscale;
  s.Yimin = in.first[1] * in.cscale, s.Yimax = in.last[1] * in.cscale;
  s.Zimin = in.first[2] * in.cscale, s.Zimax = in.last[2] * in.cscale;
  s.Nix = counts[0], s.Niy = counts[1], s.Niz = counts[2];
  s.isym_x = in.isym[0], s.isym_y = in.isym[1], s.isym_z = in.isym[2];
  s.ksym_x = in.ksym[0], s.ksym_y = in.ksym[1], s.ksym_z = in.ksym[2];
  testing::TestRun t;
  shift_z(s, t.log);
  unfold_symmetry(s);
  centre_z(s, t.log);
  const GridExtent full = input_extent(s);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(draft.input.count[a], full.count[a]) << axis_names[a];
    EXPECT_EQ(draft.input.lower[a], full.lower[a]) << axis_names[a];
    EXPECT_EQ(draft.input.upper[a], full.upper[a]) << axis_names[a];
    EXPECT_EQ(draft.axis[a].table_nodes, full.count[a]) << axis_names[a];
  }
}

std::vector<CodePair> every_code_pair() {
  std::vector<CodePair> pairs;
  for (int axis = 0; axis < 3; ++axis) {
    for (int isym = 0; isym <= 2; ++isym) {
      for (int ksym = 0; ksym <= 2; ++ksym) pairs.push_back({axis, isym, ksym});
    }
  }
  return pairs;
}

INSTANTIATE_TEST_SUITE_P(Codes, DraftedInputGrid, ::testing::ValuesIn(every_code_pair()),
                         [](const auto& info) {
                           const CodePair& c = info.param;
                           return std::string(axis_names[c.axis]) + "_isym" +
                                  std::to_string(c.isym) + "_ksym" + std::to_string(c.ksym);
                         });

}  // namespace
}  // namespace korvane::prepare
