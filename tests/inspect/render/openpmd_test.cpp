// korvane-inspect --openpmd: every file written is read back with h5py (openpmd_dump.py),
// never with the writer's own code, and compared with the field the field file was made of.
#include "inspect/render/openpmd.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "inspect/cli/cli.h"
#if KORVANE_HDF5
#include "inspect/render/openpmd_file.h"
#endif
#include "fieldfile/field_file.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

using korvane::testing::read_file;
using korvane::testing::ScratchDir;

// A field of known parity: component 0 odd in x and y, 1 even in both, 2 odd in y only. A
// file whose planes are x (code 1: the normal component odd) and y (code 2: the parallel
// ones odd) holds exactly this field on its quarter, so the unfolded mesh must equal it
// everywhere.
double field(double x, double y, double z, int c) {
  if (c == 0) return 1000.0 * x * y * (1.0 + z);
  if (c == 1) return 500.0 + 1e4 * (x * x + y * y) + 100.0 * z;
  return 2000.0 * y * (1.0 + x * x + z);
}

constexpr int nx = 3, ny = 4, nz = 5;
constexpr double dx = 0.01, dy = 0.005, dz = 0.05, d_elm = 0.2;

struct Case {
  const char* title;
  int format;
  int ifield;  // 2 writes E and H = -3 E, or H = 0 with h_zero
  bool h_zero;
  bool planes;  // ksym_x = 1, ksym_y = 2: the file holds x >= 0, y >= 0
  std::vector<std::string> options;
  double e_si, b_si;  // the unit of each record in SI; 0: no such record
  double z_origin;
  const char* anchor;
  int harmonic;
  bool uneven = false;  // x node 2 moved off the regular layout
  bool complex_values = false;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.title; }

// The first full-grid coordinate along x and y (the mirror image of the last stored node
// when the axis is unfolded).
double x0(const Case& c) { return c.planes ? -(nx - 1) * dx : -dx; }
double y0(const Case& c) { return c.planes ? -(ny - 1) * dy : -1.5 * dy; }

class OpenPmd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!openpmd_built()) GTEST_SKIP() << "korvane-inspect was built without HDF5";
  }

  std::string write_field_file(const Case& c) {
    StorePtr store = make_store();
    FieldStore& s = *store;
    s.ifield = c.ifield, s.iend = -99, s.d_elm = d_elm, s.aper = 0.02;
    s.k_s_EH = c.ifield == 2 ? 1 : 0;
    s.Nox = nx, s.Noy = ny, s.Noz = nz;
    s.ksym_x = c.planes ? 1 : 0, s.ksym_y = c.planes ? 2 : 0;
    const double xlo = c.planes ? 0.0 : x0(c), ylo = c.planes ? 0.0 : y0(c);
    s.Xmin = xlo, s.Xmax = xlo + (nx - 1) * dx;
    s.Ymin = ylo, s.Ymax = ylo + (ny - 1) * dy;
    s.Zmin = -d_elm / 2, s.Zmax = d_elm / 2;
    for (int i = 1; i <= nx; ++i) s.xmws(i) = xlo + (i - 1) * dx;
    if (c.uneven) s.xmws(2) += 0.2 * dx;
    for (int j = 1; j <= ny; ++j) s.ymws(j) = ylo + (j - 1) * dy;
    for (int k = 1; k <= nz; ++k) s.zmws(k) = -d_elm / 2 + (k - 1) * dz;
    OutputField* e[3] = {&s.ExOut, &s.EyOut, &s.EzOut};
    OutputField* h[3] = {&s.HxOut, &s.HyOut, &s.HzOut};
    for (int k = 1; k <= nz; ++k) {
      for (int j = 1; j <= ny; ++j) {
        for (int i = 1; i <= nx; ++i) {
          for (int a = 0; a < 3; ++a) {
            const double f = field(s.xmws(i), s.ymws(j), s.zmws(k), a);
            (*(c.ifield == 1 ? h : e)[a])(i, j, k) = f;
            if (c.ifield == 2 && !c.h_zero) (*h[a])(i, j, k) = -3.0 * f;
          }
        }
      }
    }
    StringSink sink;
    if (c.format == 0) write_format0(s, sink);
    if (c.format == 1) write_format1(s, sink);
    if (c.format == 2) write_format2(s, sink);
    const std::string name = (dir / "eh_EMS.#03").string();
    korvane::testing::write_file(name, sink.text);
    return name;
  }

  // The dump of h5py, one line per attribute, dataset and node value.
  std::string dump(const std::string& h5, const std::string& nodes) {
    const std::string command = std::string("'") + KORVANE_H5PY_PYTHON +
                                "' '" KORVANE_SOURCE_DIR "/tests/inspect/render/openpmd_dump.py' '" + h5 +
                                "' " + nodes + " >'" + (dir / "dump.txt").string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << read_file(dir / "dump.txt");
    return read_file(dir / "dump.txt");
  }

  // The `count` numbers after `prefix` on its line of the dump (NaN when it is missing).
  static std::vector<double> numbers_after(const std::string& text, const std::string& prefix,
                                           int count = 1) {
    std::vector<double> numbers(static_cast<std::size_t>(count), NAN);
    const std::size_t at = text.find(prefix);
    if (at == std::string::npos) {
      ADD_FAILURE() << "no '" << prefix << "' in\n" << text;
      return numbers;
    }
    std::istringstream line(text.substr(at + prefix.size()));
    for (double& n : numbers) line >> n;
    return numbers;
  }
  static double value_after(const std::string& text, const std::string& prefix) {
    return numbers_after(text, prefix)[0];
  }

  ScratchDir dir;
  std::string out, err;
};

TEST_P(OpenPmd, ReadBackByH5py) {
  if (std::string(KORVANE_H5PY_PYTHON).empty()) GTEST_SKIP() << "no python3 with h5py";
  const Case& c = GetParam();
  const std::string h5 = (dir / "map.h5").string();
  std::vector<std::string> args{write_field_file(c), "--openpmd", h5};
  args.insert(args.end(), c.options.begin(), c.options.end());
  ASSERT_EQ(run_inspect(args, out, err), 0) << err;

  const int mx = c.planes ? 2 * nx - 1 : nx, my = c.planes ? 2 * ny - 1 : ny;
  const std::string last = std::to_string(mx - 1) + "," + std::to_string(my - 1) + ",4";
  const std::vector<std::string> nodes{"0,0,0", last, "1,2,3",
                                       "0," + std::to_string(my - 1) + ",1"};
  std::string node_args;
  for (const std::string& n : nodes) node_args += n + " ";
  const std::string text = dump(h5, node_args);

  const std::string g = "attr /ExternalFieldPath/1 ";
  for (const std::string& line : std::vector<std::string>{
           "attr / dataType fixed-string(nullterm) openPMD\n",
           "attr / openPMD fixed-string(nullterm) 2.0.0\n",
           "attr / openPMDextension fixed-string(nullterm) BeamPhysics\n",
           "attr / externalFieldPath fixed-string(nullterm) /ExternalFieldPath/%T/\n",
           g + "gridGeometry fixed-string(nullterm) rectangular\n",
           g + "axisLabels fixed-string(nullterm)[3] z y x\n",
           g + "gridSize int32[3] " + std::to_string(mx) + " " + std::to_string(my) + " 5\n",
           g + "gridLowerBound int32[3] 0 0 0\n",
           g + "eleAnchorPt fixed-string(nullterm) " + c.anchor + "\n",
           g + "harmonic int32 " + std::to_string(c.harmonic) + "\n",
           g + "fieldScale float64 1\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  }
  EXPECT_EQ(text.find("fundamentalFrequency") != std::string::npos, c.harmonic == 1);
  if (c.harmonic == 1) {
    EXPECT_EQ(value_after(text, g + "fundamentalFrequency float64 "), 1.3e9);
  }
  EXPECT_NE(text.find(g + "name fixed-string(nullterm) "), std::string::npos);
  const std::vector<double> origin = numbers_after(text, g + "gridOriginOffset float64[3] ", 3);
  const std::vector<double> spacing = numbers_after(text, g + "gridSpacing float64[3] ", 3);
  const double first[3] = {x0(c), y0(c), c.z_origin}, step[3] = {dx, dy, dz};
  for (int a = 0; a < 3; ++a) {
    EXPECT_NEAR(origin[a], first[a], 1e-15) << "xyz"[a];
    EXPECT_NEAR(spacing[a], step[a], 1e-15) << "xyz"[a];
  }

  const struct {
    const char* record;
    double si;
    double factor;  // of field(): the file's H is -3 E where both are written
    const char* dimension;
  } records[] = {{"electricField", c.e_si, 1.0, "1 1 -3 -1 0 0 0"},
                 {"magneticField", c.b_si, c.ifield == 2 ? -3.0 : 1.0, "0 1 -2 -1 0 0 0"}};
  for (const auto& r : records) {
    const std::string path = std::string("/ExternalFieldPath/1/") + r.record;
    EXPECT_EQ(text.find(path) != std::string::npos, r.si != 0.0) << r.record << "\n" << text;
    if (r.si == 0.0) continue;
    EXPECT_NE(text.find("attr " + path + " unitDimension float64[7] " + r.dimension + "\n"),
              std::string::npos);
    for (int a = 0; a < 3; ++a) {
      const std::string component = path + "/" + "xyz"[a];
      const std::string type = c.complex_values ? " complex128 [5, " : " float64 [5, ";
      EXPECT_NE(text.find("dataset " + component + type + std::to_string(my) + ", " +
                          std::to_string(mx) + "]\n"),
                std::string::npos)
          << text;
      EXPECT_EQ(text.find("imaginary " + component + " zero\n") != std::string::npos,
                c.complex_values);
      // Stored in SI: Bmad divides by unitSI where openPMD readers multiply.
      EXPECT_EQ(value_after(text, "attr " + component + " unitSI float64 "), 1.0);

      EXPECT_NE(text.find("shape " + component + " agrees\n"), std::string::npos) << text;
      EXPECT_NE(text.find("attr " + component + " unitDimension float64[7] " + r.dimension),
                std::string::npos);
      for (const std::string& n : nodes) {
        int i, j, k;
        std::sscanf(n.c_str(), "%d,%d,%d", &i, &j, &k);
        const double expected =
            r.factor * field(x0(c) + i * dx, y0(c) + j * dy, -d_elm / 2 + k * dz, a) * r.si;
        EXPECT_NEAR(value_after(text, "at " + component + " " + n + " "), expected,
                    1e-12 * std::fabs(expected) + 1e-15)
            << component << " at " << n;
      }
    }
  }
  // The layout is the group's axisLabels alone: FieldMesh warns of a gridDataOrder on any
  // component as a legacy.
  EXPECT_EQ(text.find("gridDataOrder"), std::string::npos) << text;
  EXPECT_NE(out.find("wrote " + h5 + ": openPMD field mesh"), std::string::npos) << out;
  if (c.ifield == 2 && c.h_zero) {
    EXPECT_NE(out.find("magneticField  not written: H is zero at every node"), std::string::npos);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Formats, OpenPmd,
    ::testing::Values(
        Case{"Format0Electric", 0, 0, false, false, {"--field", "E", "--anchor", "beginning"},
             100.0, 0.0, 0.0, "beginning", 0},
        Case{"Format1MagneticUnfolded", 1, 1, false, true,
             {"--field", "H", "--b-unit", "T", "--anchor", "end"}, 0.0, 1.0, -0.2, "end", 0},
        Case{"Format1MagneticInGaussComplex", 1, 1, false, false,
             {"--field", "H", "--value-type", "complex"}, 0.0, 1e-4, -0.1, "center", 0, false,
             true},
        Case{"Format2BothSetsRf", 2, 2, false, false,
             {"--e-unit", "MV/m", "--b-unit", "mT", "--frequency", "1.3e9", "--name", "gap",
              "--anchor", "beginning"},
             1e6, 1e-3, 0.0, "beginning", 1},
        Case{"Format0BothSetsMagneticZero", 0, 2, true, true, {"--e-unit", "kV/m"}, 1e3, 0.0,
             -0.1, "center", 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.title); });
// clang-format on

// Each refusal: status 2, a message that says what is missing, and the old output intact
// with no temporary file beside it.
TEST_F(OpenPmd, RefusalsLeaveTheOutputAlone) {
  const std::string h5 = (dir / "map.h5").string();
  const struct {
    Case file;
    std::vector<std::string> options;
    const char* message;
  } rows[] = {
      {{"", 1, 0, false, false, {}, 0, 0, 0, "", 0}, {}, "needs --field E or --field H"},
      {{"", 2, 2, true, false, {}, 0, 0, 0, "", 0}, {}, "needs the unit of its E, --e-unit"},
      {{"", 2, 2, false, false, {}, 0, 0, 0, "", 0},
       {"--e-unit", "V/m"},
       "needs the unit of its H, --b-unit T, mT or G"},
      {{"", 1, 0, false, false, {}, 0, 0, 0, "", 0},
       {"--field", "E", "--anchor", "middle"},
       "--anchor takes beginning, center or end, not 'middle' (see --help)"},
      {{"", 1, 0, false, false, {}, 0, 0, 0, "", 0},
       {"--field", "E", "--frequency", "-5"},
       "--frequency takes a frequency in Hz above 0"},
      {{"", 1, 0, false, false, {}, 0, 0, 0, "", 0},
       {"--field", "E", "--e-unit", "V"},
       "--e-unit takes V/m, V/cm, kV/m or MV/m, not 'V'"},
      {{"", 0, 0, false, false, {}, 0, 0, 0, "", 0, true},
       {"--field", "E"},
       "the x nodes are not evenly spaced (node 2 at 0.002"},
  };
  for (const auto& row : rows) {
    korvane::testing::write_file(h5, "old");
    std::vector<std::string> args{write_field_file(row.file), "--openpmd", h5};
    args.insert(args.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(run_inspect(args, out, err), 2);
    EXPECT_NE(err.find(row.message), std::string::npos) << err;
    EXPECT_EQ(read_file(h5), "old");
    err.clear();
  }
  const std::string name = write_field_file({"", 1, 0, false, false, {}, 0, 0, 0, "", 0});
  EXPECT_EQ(run_inspect({name, "--field", "E", "--anchor", "end"}, out, err), 2);
  EXPECT_NE(err.find("--anchor applies to --openpmd only"), std::string::npos) << err;
  err.clear();
  const std::string lost = (dir / "no-such-folder" / "map.h5").string();
  EXPECT_EQ(run_inspect({name, "--field", "E", "--openpmd", lost}, out, err), 2);
  EXPECT_NE(err.find("cannot create '" + lost + "'"), std::string::npos) << err;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
  }
}

#if KORVANE_HDF5
// The library writes a file's data when it really closes it. With a group still open, the
// file's close only marked it; the real close, and a flush that failed there, came later
// without a word, and the caller renamed an incomplete file into place. A file size limit
// lets the library create the file (its first 96 bytes) and fails every later write.
TEST(OpenPmdFile, AWriteThatFailsAtTheCloseIsReported) {
  ScratchDir dir;
  FieldMesh mesh;
  mesh.size = {1, 1, 1};
  mesh.anchor = "center";
  mesh.name = "m";
  mesh.components.push_back({"electricField", "x", 1.0, {1, 1, -3, -1, 0, 0, 0}, {1.0}});
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit small{1024, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  try {
    write_field_mesh(mesh, (dir / "map.h5").string(), "map.h5");
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(message.find("cannot write 'map.h5': the HDF5 library failed to close"),
            std::string::npos)
      << "'" << message << "'";
}
#endif

// Built with HDF5 or not, --help says what the option does; without HDF5 it is refused.
TEST(OpenPmdOption, HelpAndBuildsWithoutHdf5) {
  std::string out, err;
  ASSERT_EQ(run_inspect({"--help"}, out, err), 0);
  EXPECT_NE(out.find("--openpmd OUT.h5  write the map"), std::string::npos) << out;
  EXPECT_EQ(out.find("built without HDF5") == std::string::npos, openpmd_built());
  if (!openpmd_built()) {
    EXPECT_EQ(run_inspect({"eh_EMS.#01", "--openpmd", "map.h5"}, out, err), 2);
    EXPECT_NE(err.find("--openpmd: this korvane-inspect was built without HDF5"), std::string::npos)
        << err;
  }
}

}  // namespace
}  // namespace korvane::inspect
