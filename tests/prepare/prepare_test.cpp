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
#include <numbers>
#include <sstream>

#include "control/control_file.h"
#include "output/field_reader.h"
#include "support/test_support.h"

namespace korvane::prepare {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

ProcessResult run_prepare(const fs::path& dir, const std::string& arguments) {
  ProcessResult result;
  const fs::path out = dir / ".stdout", err = dir / ".stderr";
  std::string command = "cd '" + dir.string();
  command += "' && '" KORVANE_PREPARE_BINARY "' ";
  command += arguments;
  command += " >'" + out.string();
  command += "' 2>'" + err.string();
  command += "'";
  const int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = read_file(out);
  result.err = read_file(err);
  fs::remove(out);
  fs::remove(err);
  return result;
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
  int field_part;         // 0: the field is in the real parts, 1: in the imaginary ones
  Field field;
  double to_output;       // converter's output per SI unit
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

// Three-digit exponents in right-aligned 18-character columns, as the solver writes them.
std::string number(double v) {
  char text[32], out[64];
  std::snprintf(text, sizeof text, "%.9e", v);
  char* e = std::strchr(text, 'e');
  const int exponent = std::atoi(e + 1);
  *e = '\0';
  std::snprintf(out, sizeof out, "%13se%c%03d", text, exponent < 0 ? '-' : '+',
                std::abs(exponent));
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
    {"gap_E_half_z_6col_mm_crlf", 'E', "V/m", 1, "mm", 1e-3, {5, 5, 6}, {-4, -4, 0}, {2, 2, 4},
     {0, 1, 2}, Columns::plain6, true, 0, gap_field, 0.01},
    {"gap_E_quarter_9col_blocked_kV_cm", 'E', "kV/m", 1e-3, "cm", 1e-2, {3, 3, 9}, {0, 0, -2},
     {0.2, 0.2, 0.5}, {2, 0, 1}, Columns::blocked9, false, 0, gap_field, 0.01},
    {"quad_B_eighth_interleaved_in_T", 'B', "T", 1, "in", 0.0254, {4, 4, 5}, {0, 0, 0},
     {0.1, 0.1, 0.2}, {2, 1, 0}, Columns::interleaved9, true, 0, quadrupole_field, 1e4},
    {"quad_H_whole_imaginary_A_per_m", 'H', "A/m", 1e4 / mu0, "m", 1, {5, 5, 5},
     {-0.004, -0.004, -0.01}, {0.002, 0.002, 0.005}, {1, 0, 2}, Columns::interleaved9, false,
     1, quadrupole_field, 1e4},
};

class WholeRoad : public ::testing::TestWithParam<Fixture> {};

// Prepares the fixture, converts it and compares every output node with the field.
TEST_P(WholeRoad, GivesTheFieldTheExportWasMadeFrom) {
  const Fixture& f = GetParam();
  ScratchDir dir;
  write_file(dir / "export.txt", make_export(f));
  const ProcessResult prepared = run_prepare(dir.path(), "export.txt --dir case");
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
  StorePtr out = make_store();
  const bool electric = f.letter == 'E';
  read_field_file((dir / "case/eh_EMS.#01").string(), *out,
                  electric ? TripleSet::electric : TripleSet::magnetic);
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
      {0, {0, 0, 2}, 1, 0.001, 0.004, 0.04, {5, 5, 11}, false},
      {1, {1, 1, 0}, 1000, 0.01, 0.004, 0.04, {5, 5, 9}, false},
      {2, {2, 2, 1}, 10000, 0.0254, 0.3 * 0.0254, 2 * 0.8 * 0.0254, {7, 7, 9}, false},
      {3, {0, 0, 0}, mu0, 1, 0.004, 0.02, {5, 5, 5}, true},
  };
  for (const Row& row : rows) {
    const Fixture& f = fixtures[row.fixture];
    ScratchDir dir;
    write_file(dir / "export.txt", make_export(f));
    Options o;
    o.export_path = (dir / "export.txt").string();
    o.dir = (dir / "case").string();
    const Plan plan = plan_preparation(o);
    write_preparation(plan, o);
    StorePtr s = make_store();
    read_control_file(*s, (dir / "case/korvane.dat").c_str());
    const std::string table_name(s->fname.data(), 9);
    EXPECT_EQ(table_name, "table.txt") << f.name;
    EXPECT_EQ(s->ifield, f.letter == 'E' ? 0 : 1) << f.name;
    EXPECT_EQ(s->isym_x * 100 + s->isym_y * 10 + s->isym_z,
              row.isym[0] * 100 + row.isym[1] * 10 + row.isym[2]) << f.name;
    EXPECT_EQ(s->fscale, row.fscale) << f.name;  // exactly: the shortest text reads back
    EXPECT_EQ(s->cscale, row.cscale) << f.name;
    EXPECT_NEAR(s->aper, row.aper, 1e-15) << f.name;
    EXPECT_NEAR(s->d_elm, row.d_elm, 1e-15) << f.name;
    EXPECT_EQ(s->Nox * 10000 + s->Noy * 1000 + s->Noz,
              row.counts[0] * 10000 + row.counts[1] * 1000 + row.counts[2]) << f.name;
    EXPECT_EQ(plan.part, f.field_part == 1 ? Part::imaginary : Part::real);
    EXPECT_EQ(!plan.notes.empty(), row.part_note) << f.name;
  }
}

}  // namespace
}  // namespace korvane::prepare
