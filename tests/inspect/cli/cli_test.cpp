// korvane-inspect's command line: the report, the files it writes, and its errors.
#include "inspect/cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fieldfile/field_file.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

using korvane::testing::read_file;
using korvane::testing::ScratchDir;

class Cli : public ::testing::Test {
 protected:
  // A magnetic field on a 3 x 3 x 5 grid, written in `format` as eh_EMS.#07.
  std::string write(int format) {
    StorePtr store = make_store();
    FieldStore& s = *store;
    s.ifield = 1, s.iend = -99, s.d_elm = 0.2, s.aper = 0.01;
    s.Nox = 3, s.Noy = 3, s.Noz = 5;
    s.Xmin = s.Ymin = -0.01, s.Xmax = s.Ymax = 0.01, s.Zmin = -0.1, s.Zmax = 0.1;
    for (int n = 1; n <= 3; ++n) s.xmws(n) = s.ymws(n) = 0.01 * (n - 2);
    for (int n = 1; n <= 5; ++n) s.zmws(n) = 0.05 * (n - 3);
    s.HyOut(3, 2, 4) = -12.5;
    s.HxOut(1, 1, 1) = 2.0;
    StringSink sink;
    if (format == 0) write_format0(s, sink);
    if (format == 1) write_format1(s, sink);
    if (format == 2) write_format2(s, sink);
    const std::string name = (dir / "eh_EMS.#07").string();
    korvane::testing::write_file(name, sink.text);
    return name;
  }
  int run(std::vector<std::string> args) {
    out.clear(), err.clear();
    return run_inspect(args, out, err);
  }

  ScratchDir dir;
  std::string out, err;
};

TEST_F(Cli, SummaryOfEachFormat) {
  for (int format = 0; format <= 2; ++format) {
    const std::string name = write(format);
    ASSERT_EQ(run({name}), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_NE(out.find("format        " + std::to_string(format) + " ("), std::string::npos) << out;
    EXPECT_NE(out.find("grid          3 x 3 x 5 nodes"), std::string::npos);
    EXPECT_NE(out.find("z           -0.1 .. 0.1 m, step 0.05 m"), std::string::npos) << out;
    // The largest magnitude of Hy and where it lies.
    const std::string hy = format == 2 ? "  Hy " : "  Fy ";
    const std::size_t row = out.find(hy);
    ASSERT_NE(row, std::string::npos) << out;
    EXPECT_NE(out.find("-1.2500000e+01 at (3, 2, 4), (0.01, 0, 0.05)", row), std::string::npos)
        << out;
  }
  // A format 0 or 1 triple named on the command line; format 2 names its own.
  EXPECT_EQ(run({write(1), "--field", "H"}), 0);
  EXPECT_NE(out.find("field sets    H\n"), std::string::npos) << out;
  EXPECT_EQ(run({write(2), "--field", "E"}), 0);
  EXPECT_NE(out.find("field sets    H (ifield 1)"), std::string::npos) << out;
  EXPECT_NE(err.find("--field is ignored"), std::string::npos);
}

TEST_F(Cli, ChecksAndFiles) {
  const std::string name = write(0);
  const std::string prefix = (dir / "quad").string();
  const std::string vtk = (dir / "f.vtk").string(), csv = (dir / "f.csv").string();
  const std::string axis = (dir / "axis.csv").string();
  ASSERT_EQ(run({name, "--check", "--field", "H", "--svg", prefix, "--vtk", vtk, "--csv", csv,
                 "--axis", axis}),
            0)
      << err;
  EXPECT_NE(out.find("H: relative "), std::string::npos) << out;
  EXPECT_NE(out.find("symmetry planes: none declared"), std::string::npos);
  EXPECT_NE(out.find("verdict: no fault found"), std::string::npos);
  EXPECT_NE(out.find("dHy/dx: peak "), std::string::npos) << out;
  for (const std::string& file : {prefix + "_H_axis.svg", prefix + "_H_maps.svg",
                                  prefix + "_H_axis_gradient.svg", vtk, csv, axis}) {
    EXPECT_NE(out.find("wrote " + file + "\n"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
  }
  EXPECT_EQ(read_file(vtk).substr(0, 26), "# vtk DataFile Version 3.0");
  EXPECT_EQ(read_file(csv).substr(0, 15), "x,y,z,Hx,Hy,Hz\n");
  EXPECT_NE(read_file(axis).find("\nz,Hx,Hy,Hz,dHy/dx,dHx/dy\n"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos);  // no temporary left
  }
}

TEST_F(Cli, CheckFaultEndsWithStatus1) {
  // Code 1 kept at x = 0 with the normal component not zero on the plane.
  StorePtr store = make_store();
  FieldStore& s = *store;
  s.ifield = 1, s.iend = -99, s.ksym_x = 1;
  s.Nox = 3, s.Noy = 3, s.Noz = 3;
  for (int n = 1; n <= 3; ++n) s.xmws(n) = 0.01 * (n - 1), s.ymws(n) = s.zmws(n) = 0.01 * (n - 2);
  s.HxOut(1, 2, 2) = 5.0;
  StringSink sink;
  write_format1(s, sink);
  const std::string name = (dir / "kept").string();
  korvane::testing::write_file(name, sink.text);
  EXPECT_EQ(run({name, "--field", "H"}), 0);
  EXPECT_EQ(run({name, "--field", "H", "--check"}), 1);
  EXPECT_NE(out.find("Hx: relative 1; max |Hx| = 5 at (1, 2, 2)"), std::string::npos) << out;
  EXPECT_EQ(run({name, "--field", "H", "--check", "--parity-tolerance", "1"}), 0) << out;
  EXPECT_EQ(run({name, "--parity-tolerance", "1"}), 2);  // needs --check

  // Moved off the axis, the same field has no profile there.
  s.ksym_x = 0;
  for (int n = 1; n <= 3; ++n) s.xmws(n) += 0.01;
  sink.text.clear();
  write_format1(s, sink);
  korvane::testing::write_file(name, sink.text);
  EXPECT_EQ(run({name, "--axis", (dir / "axis.csv").string()}), 2);
  EXPECT_EQ(err, "korvane-inspect: file '" + name +
                     "': --axis: x = 0 lies outside the grid (0.01 .. 0.03 m)\n");
  EXPECT_EQ(run({name, "--check", "--parity-tolerance", "-1"}), 2);
  EXPECT_EQ(err, "korvane-inspect: a tolerance must be a finite number of 0 or more (see --help)\n");
}

// VTK structured points hold one spacing per axis: nodes that are not evenly spaced would
// be drawn in the wrong places, so they are refused as --openpmd refuses them.
TEST_F(Cli, VtkRefusesUnevenNodes) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  s.ifield = 1, s.iend = -99;
  s.Nox = 3, s.Noy = 3, s.Noz = 3;
  for (int n = 1; n <= 3; ++n) s.xmws(n) = s.ymws(n) = s.zmws(n) = 0.01 * (n - 2);
  s.xmws(2) = 0.002;
  StringSink sink;
  write_format0(s, sink);
  const std::string name = (dir / "uneven").string(), vtk = (dir / "f.vtk").string();
  korvane::testing::write_file(name, sink.text);
  EXPECT_EQ(run({name, "--vtk", vtk}), 2);
  EXPECT_EQ(err, "korvane-inspect: file '" + name +
                     "': the x nodes are not evenly spaced (node 2 at 0.002 m), which a "
                     "regular mesh cannot hold\n");
  EXPECT_FALSE(std::filesystem::exists(vtk));
}

TEST_F(Cli, ErrorsEndWithStatus2InTheConvertersStyle) {
  const std::string name = write(0);
  std::string bytes = read_file(name);
  korvane::testing::write_file(name, bytes.substr(0, bytes.size() - 12));
  EXPECT_EQ(run({name}), 2);
  EXPECT_EQ(err, "korvane-inspect: file '" + name +
                     "', record 9: end marker: the file ends where this record is due\n");
  EXPECT_EQ(out, "");

  EXPECT_EQ(run({(dir / "missing").string()}), 2);
  EXPECT_NE(err.find("korvane-inspect: file '"), std::string::npos);
  EXPECT_NE(err.find("cannot open"), std::string::npos);

  EXPECT_EQ(run({name, "--colour"}), 2);
  EXPECT_EQ(err, "korvane-inspect: unknown option '--colour' (see --help)\n");
  EXPECT_EQ(run({name, "--field", "B"}), 2);
  EXPECT_EQ(run({name, "--vtk"}), 2);
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(run({name, "--csv", name}), 2);  // would overwrite the field file
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.find("usage: korvane-inspect FILE"), std::string::npos);

  write(1);
  EXPECT_EQ(run({name, "--vtk", (dir / "no-such-folder" / "f.vtk").string()}), 2);
  EXPECT_NE(err.find("korvane-inspect: cannot create '"), std::string::npos) << err;
}

// --source on a map re-gridded from its table: the departure is the report's last line and
// above the tolerance; a control file that cannot be read is the tool's own error.
TEST_F(Cli, SourceDepartureEndsTheReportAndJudgesTheStatus) {
  korvane::testing::Control control;
  control.counts[0] = control.counts[1] = 4, control.counts[2] = 5;  // not the table's 5 x 5 x 5
  korvane::testing::write_file(dir / "korvane.dat", control.text());
  const double lo[3] = {-1.0, -1.0, -1.0}, step[3] = {0.5, 0.5, 0.5};
  korvane::testing::write_file(
      dir / "table.txt",
      korvane::testing::make_table(5, 5, 5, lo, step, 321, 6, [](double x, double y, double z, int c) {
        return c == 2 ? 1.0 / (1.0 + 4.0 * (x * x + y * y)) + z : 0.0;
      }));
  ASSERT_EQ(korvane::testing::run_korvane(dir.path()).status, 0);
  const std::string map = (dir / "eh_EMS.#07").string(), dat = (dir / "korvane.dat").string();
  EXPECT_EQ(run({map, "--source", dat}), 1) << err;
  const std::size_t last = out.rfind("source departure: max ");
  ASSERT_NE(last, std::string::npos) << out;
  EXPECT_EQ(out.find('\n', last), out.size() - 1);
  EXPECT_EQ(run({map, "--source", dat, "--source-tolerance", "1"}), 0) << err;
  EXPECT_EQ(run({map, "--source", (dir / "none.dat").string()}), 2);
  EXPECT_EQ(err.rfind("korvane-inspect: ", 0), 0u) << err;
  EXPECT_EQ(err.find("korvane-inspect: ", 1), std::string::npos) << err;
}

}  // namespace
}  // namespace korvane::inspect
