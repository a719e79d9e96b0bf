// korvane-prepare on export-shaped fixtures: the table and the control values, the whole
// road through the converter against the fixture's own field, the symmetry of derived
// halves and quarters, and every refusal.
#include "prepare/prepare.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>

#include "control/control_file.h"
#include "fieldfile/field_reader.h"
#include "support/test_support.h"

namespace korvane::prepare {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

ProcessResult run_prepare_tool(const fs::path& dir, const std::string& arguments) {
  return testing::run_tool(KORVANE_PREPARE_BINARY, dir, arguments);
}

// A field in SI units at a point in metres.
using Field = std::function<void(double x, double y, double z, double f[3])>;

// E of a gap, to second order: codes 1 at x = 0 and y = 0, 2 at z = 0.
void gap_field(double x, double y, double z, double f[3]) {
  f[0] = -2e7 * x * z, f[1] = -2e7 * y * z, f[2] = 1e6 * (1 - 1e3 * z * z);
}
// B of a quadrupole: codes 2 at x = 0 and y = 0, 1 at z = 0 (Bz vanishes everywhere).
// Both fields are of second order, which the converter's interpolation reproduces exactly;
// a third-order term would leave its truncation error at the grid's edges.
void quadrupole_field(double x, double y, double, double f[3]) {
  f[0] = 20 * y, f[1] = 20 * x, f[2] = 0;
}

enum class Columns { plain6, blocked9, interleaved9 };

struct Fixture {
  const char* name;
  char letter;
  const char* field_unit;
  double per_si;  // export value of one SI unit
  const char* length_unit;
  double metres;  // one length unit in metres
  int counts[3];
  double lo[3], step[3];  // in the length unit
  int order[3];           // axes from the fastest
  Columns columns;
  bool crlf;
  int field_part;  // 0: the field is in the real parts, 1: in the imaginary ones
  Field field;
  double to_output;  // converter's output per SI unit
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

// Three-digit exponents in right-aligned 18-character columns, as the solver writes them.
std::string number(double v) {
  char text[32], out[64];
  std::snprintf(text, sizeof text, "%.9e", v);
  char* e = std::strchr(text, 'e');
  const int exponent = std::atoi(e + 1);
  *e = '\0';
  std::snprintf(out, sizeof out, "%13se%c%03d", text, exponent < 0 ? '-' : '+', std::abs(exponent));
  return out;
}

std::string make_export(const Fixture& f) {
  const char* axes = "xyz";
  const std::string eol = f.crlf ? "\r\n" : "\n";
  std::string out;
  auto title = [&out](std::string name, const char* unit) {
    out += name;
    out += " [";
    out += unit;
    out += "]  ";
  };
  for (int a = 0; a < 3; ++a) title(std::string(1, axes[a]), f.length_unit);
  for (int n = 0; n < (f.columns == Columns::plain6 ? 3 : 6); ++n) {
    const int k = f.columns == Columns::interleaved9 ? n / 2 : n % 3;
    const bool im = f.columns == Columns::interleaved9 ? n % 2 == 1 : n >= 3;
    std::string name{f.letter, axes[k]};
    if (f.columns != Columns::plain6) name += im ? "Im" : "Re";
    title(name, f.field_unit);
  }
  out += eol;
  out.append(150, '-');
  out += eol;
  int n[3];
  const int a1 = f.order[0], a2 = f.order[1], a3 = f.order[2];
  for (n[a3] = 0; n[a3] < f.counts[a3]; ++n[a3]) {
    for (n[a2] = 0; n[a2] < f.counts[a2]; ++n[a2]) {
      for (n[a1] = 0; n[a1] < f.counts[a1]; ++n[a1]) {
        double c[3], v[3];
        for (int a = 0; a < 3; ++a) c[a] = f.lo[a] + n[a] * f.step[a];
        f.field(c[0] * f.metres, c[1] * f.metres, c[2] * f.metres, v);
        for (double& x : v) x *= f.per_si;
        for (double x : c) out += number(x);
        for (int m = 0; m < (f.columns == Columns::plain6 ? 3 : 6); ++m) {
          const int k = f.columns == Columns::interleaved9 ? m / 2 : m % 3;
          const int part = f.columns == Columns::interleaved9 ? m % 2 : m / 3;
          out += number(part == f.field_part ? v[k] : 0.0);
        }
        out += eol;
      }
    }
  }
  return out;
}

constexpr double mu0 = 4e-3 * std::numbers::pi;

const Fixture fixtures[] = {
    {"gap_E_half_z_6col_mm_crlf",
     'E',
     "V/m",
     1,
     "mm",
     1e-3,
     {5, 5, 6},
     {-4, -4, 0},
     {2, 2, 4},
     {0, 1, 2},
     Columns::plain6,
     true,
     0,
     gap_field,
     0.01},
    {"gap_E_quarter_9col_blocked_kV_cm",
     'E',
     "kV/m",
     1e-3,
     "cm",
     1e-2,
     {3, 3, 9},
     {0, 0, -2},
     {0.2, 0.2, 0.5},
     {2, 0, 1},
     Columns::blocked9,
     false,
     0,
     gap_field,
     0.01},
    {"quad_B_eighth_interleaved_in_T",
     'B',
     "T",
     1,
     "in",
     0.0254,
     {4, 4, 5},
     {0, 0, 0},
     {0.1, 0.1, 0.2},
     {2, 1, 0},
     Columns::interleaved9,
     true,
     0,
     quadrupole_field,
     1e4},
    {"quad_H_whole_imaginary_A_per_m",
     'H',
     "A/m",
     1e4 / mu0,
     "m",
     1,
     {5, 5, 5},
     {-0.004, -0.004, -0.01},
     {0.002, 0.002, 0.005},
     {1, 0, 2},
     Columns::interleaved9,
     false,
     1,
     quadrupole_field,
     1e4},
    // Whole exports symmetric about 0, to derive halves, quarters and eighths from.
    {"quad_B_whole",
     'B',
     "mT",
     1e3,
     "mm",
     1e-3,
     {7, 7, 5},
     {-6, -6, -10},
     {2, 2, 5},
     {2, 1, 0},
     Columns::blocked9,
     false,
     0,
     quadrupole_field,
     1e4},
    {"gap_E_whole",
     'E',
     "V/m",
     1,
     "mm",
     1e-3,
     {5, 5, 9},
     {-4, -4, -8},
     {2, 2, 2},
     {0, 1, 2},
     Columns::plain6,
     true,
     0,
     gap_field,
     0.01},
};

class WholeRoad : public ::testing::TestWithParam<Fixture> {};

// Prepares the fixture, converts it and compares every output node with the field.
TEST_P(WholeRoad, GivesTheFieldTheExportWasMadeFrom) {
  const Fixture& f = GetParam();
  ScratchDir dir;
  write_file(dir / "export.txt", make_export(f));
  const ProcessResult prepared = run_prepare_tool(dir.path(), "export.txt --dir case");
  ASSERT_EQ(prepared.status, 0) << prepared.err;

  // The table: x y z and the part that holds the field, as the export wrote them.
  std::istringstream table(read_file(dir / "case/table.txt"));
  std::string first;
  std::getline(table, first);
  std::istringstream tokens(first);
  std::vector<std::string> values{std::istream_iterator<std::string>(tokens), {}};
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values[0], number(f.lo[0]).substr(number(f.lo[0]).find_first_not_of(' ')));
  EXPECT_LT(first.size(), 132u);

  const ProcessResult converted = testing::run_korvane(dir.path(), "-C case");
  ASSERT_EQ(converted.status, 0) << converted.err;
  const bool electric = f.letter == 'E';
  const std::unique_ptr<FieldMap> out = read_field_file(
      (dir / "case/eh_EMS.#01").string(), electric ? TripleSet::electric : TripleSet::magnetic);
  // The converter centres z on 0: the export's own z of an output node.
  const bool z_half = std::abs(f.lo[2]) < 1e-12;
  const double z_centre = z_half ? 0 : (f.lo[2] + (f.counts[2] - 1) * f.step[2] / 2) * f.metres;
  double largest = 0, deviation = 0;
  for (int k = 1; k <= out->Noz; ++k) {
    for (int j = 1; j <= out->Noy; ++j) {
      for (int i = 1; i <= out->Nox; ++i) {
        double v[3];
        f.field(out->xmws(i), out->ymws(j), out->zmws(k) + z_centre, v);
        const double got[3] = {electric ? out->ExOut(i, j, k) : out->HxOut(i, j, k),
                               electric ? out->EyOut(i, j, k) : out->HyOut(i, j, k),
                               electric ? out->EzOut(i, j, k) : out->HzOut(i, j, k)};
        for (int c = 0; c < 3; ++c) {
          largest = std::max(largest, std::abs(v[c] * f.to_output));
          deviation = std::max(deviation, std::abs(got[c] - v[c] * f.to_output));
        }
      }
    }
  }
  EXPECT_GT(largest, 0);
  EXPECT_LT(deviation, 1e-6 * largest) << f.name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WholeRoad, ::testing::ValuesIn(fixtures),
                         [](const auto& info) { return std::string(info.param.name); });

// The control values the fixtures should give, read back by the converter's own reader.
TEST(Prepare, DraftsTheControlValuesTheConverterReadsBack) {
  struct Row {
    int fixture;
    int isym[3];
    double fscale, cscale, aper, d_elm;
    int counts[3];
    bool part_note;
  };
  const Row rows[] = {
      // The halves keep their planes: the table's own nodes from 0.
      {0, {0, 0, 2}, 1, 0.001, 0.004, 0.04, {5, 5, 6}, false},
      {1, {1, 1, 0}, 1000, 0.01, 0.004, 0.04, {3, 3, 9}, false},
      {2, {2, 2, 1}, 10000, 0.0254, 0.3 * 0.0254, 2 * 0.8 * 0.0254, {4, 4, 5}, false},
      {3, {0, 0, 0}, mu0, 1, 0.004, 0.02, {5, 5, 5}, true},
  };
  for (const Row& row : rows) {
    const Fixture& f = fixtures[row.fixture];
    ScratchDir dir;
    write_file(dir / "export.txt", make_export(f));
    Options o;
    o.export_path = (dir / "export.txt").string();
    o.dir = (dir / "case").string();
    Plan plan = plan_preparation(o);
    write_preparation(plan, o);
    StorePtr s = make_store();
    testing::TestRun t;
    read_control_file(*s, t.run, (dir / "case/korvane.dat").string());
    const std::string table_name(s->fname.data(), 9);
    EXPECT_EQ(table_name, "table.txt") << f.name;
    EXPECT_EQ(s->ifield, f.letter == 'E' ? 0 : 1) << f.name;
    EXPECT_EQ(s->isym_x * 100 + s->isym_y * 10 + s->isym_z,
              row.isym[0] * 100 + row.isym[1] * 10 + row.isym[2])
        << f.name;
    EXPECT_EQ(s->fscale, row.fscale) << f.name;  // exactly: the shortest text reads back
    EXPECT_EQ(s->cscale, row.cscale) << f.name;
    EXPECT_NEAR(s->aper, row.aper, 1e-15) << f.name;
    EXPECT_NEAR(s->d_elm, row.d_elm, 1e-15) << f.name;
    EXPECT_EQ(s->Nox * 10000 + s->Noy * 1000 + s->Noz,
              row.counts[0] * 10000 + row.counts[1] * 1000 + row.counts[2])
        << f.name;
    EXPECT_EQ(plan.part, f.field_part == 1 ? Part::imaginary : Part::real);
    EXPECT_EQ(!plan.notes.empty(), row.part_note) << f.name;
  }
}

// The records of `text` whose coordinates are not negative along the axes flagged in `cut`:
// a half, quarter or eighth derived from a full export, header kept.
std::string derive(const std::string& text, const bool cut[3]) {
  std::istringstream in(text);
  std::string out, line;
  while (std::getline(in, line)) {
    double c[3];
    if (std::sscanf(line.c_str(), "%lf %lf %lf", &c[0], &c[1], &c[2]) == 3 &&
        ((cut[0] && c[0] < 0) || (cut[1] && c[1] < 0) || (cut[2] && c[2] < 0))) {
      continue;
    }
    out += line + "\n";
  }
  return out;
}

// Reads the field file korvane wrote in `dir`.
std::unique_ptr<FieldMap> converted(const fs::path& dir, TripleSet set) {
  const ProcessResult run = testing::run_korvane(dir);
  EXPECT_EQ(run.status, 0) << run.err;
  return read_field_file((dir / "eh_EMS.#01").string(), set);
}

TEST(Prepare, DerivedHalvesAndQuartersGetTheCodesOfTheFieldAndUnfoldToTheWhole) {
  struct Row {
    int fixture;
    bool cut[3];
    int codes[3];
  };
  const Row rows[] = {
      {4, {true, true, false}, {2, 2, 0}},
      {4, {false, false, true}, {0, 0, 1}},
      {5, {false, false, true}, {0, 0, 2}},
      {5, {true, true, true}, {1, 1, 2}},
  };
  for (const Row& row : rows) {
    const Fixture& f = fixtures[row.fixture];
    const TripleSet set = f.letter == 'E' ? TripleSet::electric : TripleSet::magnetic;
    ScratchDir dir;
    const std::string whole = make_export(f);
    write_file(dir / "whole.txt", whole);
    write_file(dir / "part.txt", derive(whole, row.cut));
    ASSERT_EQ(run_prepare_tool(dir.path(), "whole.txt --dir whole").status, 0);
    const ProcessResult part = run_prepare_tool(dir.path(), "part.txt --dir part --json --unfold");
    ASSERT_EQ(part.status, 0) << part.err;
    const auto report = nlohmann::json::parse(part.out);
    EXPECT_EQ(report["control"]["isym"], nlohmann::json({row.codes[0], row.codes[1], row.codes[2]}))
        << f.name;

    const std::unique_ptr<FieldMap> a = converted(dir / "whole", set);
    const std::unique_ptr<FieldMap> b = converted(dir / "part", set);
    ASSERT_EQ(a->Nox * 10000 + a->Noy * 1000 + a->Noz, b->Nox * 10000 + b->Noy * 1000 + b->Noz);
    double largest = 0, deviation = 0;
    const OutputField* arrays_a[6] = {&a->ExOut, &a->EyOut, &a->EzOut,
                                      &a->HxOut, &a->HyOut, &a->HzOut};
    const OutputField* arrays_b[6] = {&b->ExOut, &b->EyOut, &b->EzOut,
                                      &b->HxOut, &b->HyOut, &b->HzOut};
    for (int c = 0; c < 6; ++c) {
      for (int k = 1; k <= a->Noz; ++k) {
        for (int j = 1; j <= a->Noy; ++j) {
          for (int i = 1; i <= a->Nox; ++i) {
            largest = std::max(largest, std::abs((*arrays_a[c])(i, j, k)));
            deviation =
                std::max(deviation, std::abs((*arrays_a[c])(i, j, k) - (*arrays_b[c])(i, j, k)));
          }
        }
      }
    }
    EXPECT_GT(largest, 0);
    EXPECT_LT(deviation, 1e-9 * largest) << f.name;
  }
}

TEST(Prepare, KeptSymmetryAndARepeatedLastRecord) {
  const Fixture& f = fixtures[0];  // a z half
  ScratchDir dir;
  std::string text = make_export(f);
  const std::size_t last = text.rfind('\n', text.size() - 3);
  text += text.substr(last + 1);
  write_file(dir / "export.txt", text);
  Options o;
  o.export_path = (dir / "export.txt").string();
  o.dir = dir.path().string();
  const Plan plan = plan_preparation(o);
  EXPECT_EQ(plan.control.ksym[2], 2);
  EXPECT_NEAR(plan.control.d_elm, 0.04, 1e-15);  // the output runs from 0 to d_elm/2
  EXPECT_EQ(plan.control.counts[2], 6);          // the table's own nodes, from z = 0
  EXPECT_EQ(plan.scan.records, 5 * 5 * 6);
  ASSERT_EQ(plan.notes.size(), 1u);
  EXPECT_NE(plan.notes[0].find("repeats the last record"), std::string::npos);
}

TEST(Prepare, ReportsTheParityAboutEachPlaneOfAWholeSymmetricExport) {
  ScratchDir dir;
  write_file(dir / "export.txt", make_export(fixtures[4]));  // Bx = G y, By = G x, Bz = 0
  Options o;
  o.export_path = (dir / "export.txt").string();
  const Plan plan = plan_preparation(o);
  using Row = std::array<std::string, 3>;
  EXPECT_EQ(plan.parity[0], (Row{"even", "odd", "zero"}));
  EXPECT_EQ(plan.parity[1], (Row{"odd", "even", "zero"}));
  EXPECT_EQ(plan.parity[2], (Row{"even", "even", "zero"}));

  // Ex odd about x and of no parity about z: both sums over z are small beside the scale,
  // which once made Ex and Ey look odd or even about z.
  Fixture mixed = fixtures[5];
  mixed.counts[0] = mixed.counts[1] = 11, mixed.counts[2] = 17;
  mixed.lo[0] = mixed.lo[1] = -10, mixed.lo[2] = -12, mixed.step[2] = 1.5;
  mixed.field = [](double x, double y, double z, double f[3]) {
    f[0] = 1e5 * x * (1 + 50 * z), f[1] = 7e4 * y * (1 - 30 * z), f[2] = 1e3 * std::cos(200 * z);
  };
  write_file(dir / "mixed.txt", make_export(mixed));
  o.export_path = (dir / "mixed.txt").string();
  EXPECT_EQ(plan_preparation(o).parity[2], (Row{"neither", "neither", "even"}));
}

TEST(Prepare, ReadsUnitsWithBlanksInsideTheirBrackets) {
  const ColumnLayout layout =
      read_header("x [ mm ]  y [ mm]  z [mm ]  Ex [ V/m ]  Ey [ V/m ]  Ez [ V/m ] ");
  EXPECT_EQ(layout.length_unit, "mm");
  EXPECT_EQ(layout.field_unit, "V/m");
}

// A small whole export to break: E in V/m on 3 x 3 x 3 nodes from -1 mm, x fastest.
std::string small_export(int nx = 3, int ny = 3, int nz = 3, double z0 = -1, double x0 = -1) {
  std::string out = "x [mm] y [mm] z [mm] Ex [V/m] Ey [V/m] Ez [V/m]\n-----\n";
  char line[128];
  for (int k = 0; k < nz; ++k) {
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        std::snprintf(line, sizeof line, "%g %g %g %g %g %g\n", x0 + i, j - 1.0, z0 + k, 1.0 + i,
                      2.0 + j, 3.0 + k);
        out += line;
      }
    }
  }
  return out;
}

std::string replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct RefusalCase {
  const char* name;
  std::string export_text;
  std::string arguments;
  int status;
  const char* message;
  const char* export_name = "export.txt";
};

void PrintTo(const RefusalCase& r, std::ostream* os) { *os << r.name; }

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, StopWithAMessageAndWriteNothing) {
  const RefusalCase& r = GetParam();
  ScratchDir dir;
  write_file(dir / "export.txt", r.export_text);
  const ProcessResult run =
      run_prepare_tool(dir.path(), std::string(r.export_name) + " --dir out " + r.arguments);
  EXPECT_EQ(run.status, r.status) << run.err;
  EXPECT_EQ(run.err.rfind("korvane-prepare: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("korvane-prepare: korvane-prepare"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(dir / "out/korvane.dat"));
}

const std::string base = small_export();
const std::string slanted = [] {
  std::string out = "x [mm] y [mm] z [mm] Ex [V/m] Ey [V/m] Ez [V/m]\n";
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 3; ++i)
      out += std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(k) + " 1 1 1\n";
  }
  return out;
}();

const RefusalCase refusals[] = {
    {"header_only", "x [mm] y [mm] z [mm] Ex [V/m] Ey [V/m] Ez [V/m]\n---\n", "", 1,
     "a header and no record"},
    {"truncated_record", replace(base, "0 -1 -1 2 2 3\n", "0 -1 -1 2 2\n"), "", 1,
     "holds 5 values, not 6"},
    {"text_for_a_number", replace(base, "0 -1 -1 2 2 3", "0 -1 -1 2 O.5 3"), "", 1,
     "'O.5' is not a real number"},
    {"nul_byte", replace(base, "0 -1 -1 2 2 3", std::string("0 -1 -1 2 \0 3", 13)), "", 1,
     "is not a real number"},
    {"node_given_twice", replace(base, "0 -1 -1 2 2 3\n", "0 -1 -1 2 2 3\n0 -1 -1 2 2 3\n"), "", 1,
     "a node given twice"},
    {"plane", small_export(3, 3, 1), "", 1, "a plane of 3 x 3 nodes in x and y"},
    {"line", small_export(3, 1, 1), "", 1, "a line of 3 nodes along x"},
    {"slanted_cut", slanted, "", 1, "slanted cut"},
    {"incomplete", base.substr(0, base.size() - 12), "", 1, "the mesh is incomplete"},
    {"irregular", replace(base, "0 -1 -1 2 2 3", "0.05 -1 -1 2 2 3"), "", 1,
     "not a regular mesh: along x"},
    {"decreasing", replace(replace(base, "-1 -1 -1 1", "1 -1 -1 1"), "1 -1 -1 3", "-1 -1 -1 3"), "",
     1, "decrease along x"},
    {"two_nodes", small_export(3, 3, 2), "", 1, "only 2 nodes along z"},
    {"last_node_below_the_first", replace(base, "1 1 1 3 4 5", "-5 1 1 3 4 5"), "", 1,
     "not a regular mesh"},
    {"last_plane_below_the_first",
     small_export(3, 3, 2, 0) +
         [] {
           const std::string plane = small_export(3, 3, 1, -5);
           return plane.substr(plane.find("-----\n") + 6);
         }(),
     "", 1, "not an increasing mesh"},
    {"x_misses_zero", small_export(3, 3, 3, -1, 1), "", 1, "the beam axis x = 0"},
    {"two_fields", replace(base, "Ez [V/m]", "Hz [A/m]"), "", 1, "two fields at once"},
    {"no_field", replace(replace(replace(base, "Ex", "a"), "Ey", "b"), "Ez", "c"), "", 1,
     "names no field"},
    {"no_coordinates", replace(base, "x [mm]", "u [mm]"), "", 1, "three coordinates"},
    {"headerless_without_units", base.substr(base.find("-----\n") + 6), "", 1,
     "--length-unit and --field-unit"},
    {"undecidable_plane", small_export(3, 3, 3, 0), "", 1, "cannot tell the symmetry code"},
    {"unknown_unit", replace(base, "x [mm] y [mm] z [mm]", "x [ft] y [ft] z [ft]"), "", 1,
     "--length-unit"},
    {"table_is_the_export", base, "--table ../export.txt", 2, "would overwrite the export"},
    {"wrong_command_line", base, "--format 5", 2, "--format"},
    {"unknown_unit_named", base, "--length-unit ft", 2, "--length-unit: not one of"},
    {"table_in_a_missing_folder", base, "--table sub/t.txt", 2,
     "file 'out/sub/t.txt': cannot create"},
    {"missing_export", base, "", 2, "file 'missing.txt'", "missing.txt"},
};

INSTANTIATE_TEST_SUITE_P(Exports, Refusals, ::testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Prepare, NamedCodesAreCheckedAgainstTheTable) {
  ScratchDir dir;
  write_file(dir / "export.txt", make_export(fixtures[0]));  // a z half of code 2
  // A code the field contradicts is taken, with a warning that gives the figures.
  ProcessResult run = run_prepare_tool(dir.path(), "export.txt --dir a --symmetry 0 0 1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: --symmetry names code 1 for z, which the field contradicts"),
            std::string::npos)
      << run.err;
  // A plane where the table does not start at 0 cannot be named.
  run = run_prepare_tool(dir.path(), "export.txt --dir b --symmetry 1 0 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a symmetry plane needs a table that starts at 0"), std::string::npos);
  run = run_prepare_tool(dir.path(), "export.txt --dir c --part im");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the export holds no imaginary parts"), std::string::npos);
}

TEST(Prepare, ReadsAnExportThatBeginsWithAByteOrderMark) {
  const std::string headerless = base.substr(base.find("-----\n") + 6);
  for (const std::string& text : {base, headerless}) {
    ScratchDir dir;
    write_file(dir / "export.txt", "\xEF\xBB\xBF" + text);
    const ProcessResult run =
        run_prepare_tool(dir.path(), "export.txt --length-unit mm --field-unit V/m");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(dir / "table.txt").rfind("-1 -1 -1 1 2 3\n", 0), 0u);
  }
}

TEST(Prepare, RefusesToOverwriteWithoutForce) {
  ScratchDir dir;
  write_file(dir / "export.txt", base);
  ASSERT_EQ(run_prepare_tool(dir.path(), "export.txt").status, 0);
  const ProcessResult again = run_prepare_tool(dir.path(), "export.txt");
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("exists; --force replaces it"), std::string::npos) << again.err;
  EXPECT_EQ(run_prepare_tool(dir.path(), "export.txt --force").status, 0);
  // Not even --force lets the drafted control file replace an export of its name.
  write_file(dir / "korvane.dat", base);
  const ProcessResult onto = run_prepare_tool(dir.path(), "korvane.dat --table t.txt --force");
  EXPECT_EQ(onto.status, 2);
  EXPECT_NE(onto.err.find("would overwrite the export"), std::string::npos) << onto.err;
  EXPECT_EQ(read_file(dir / "korvane.dat"), base);
}

}  // namespace
}  // namespace korvane::prepare
