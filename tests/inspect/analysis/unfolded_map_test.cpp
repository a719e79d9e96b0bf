// A map that keeps symmetry planes against the whole map of the same field, written on its
// own: --compare finds them equal, and --vtk, --csv and --axis write the same file for both.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fieldfile/field_file.h"
#include "inspect/cli/cli.h"
#include "support/test_support.h"
#include "symmetry/odd_components.h"

namespace korvane::inspect {
namespace {

using korvane::testing::read_file;
using korvane::testing::ScratchDir;

struct Kept {
  const char* name;
  int format;
  int ksym[3];
};

void PrintTo(const Kept& kept, std::ostream* os) { *os << kept.name; }

constexpr int stored_nodes[3] = {3, 4, 5};
constexpr double steps[3] = {0.01, 0.005, 0.02};

// Per axis a factor that is exactly odd or even in floating point where a code asks for
// it, and of no parity elsewhere.
double factor(double t, int axis, int component, const int ksym[3]) {
  const double u = t / steps[axis];
  if (ksym[axis] == 0) return 1.0 + 0.3 * u + 0.01 * u * u;
  return is_odd(ksym[axis], axis, component) ? u * (2.0 + u * u) : 1.0 + u * u;
}

// The field H on the kept side (`whole` false) or on both sides of each kept plane, the
// mirrored nodes at exactly the negated coordinates.
std::string write_map(const Kept& kept, bool whole, const std::string& path) {
  StorePtr store = make_store();
  FieldStore& s = *store;
  s.ifield = 1, s.iend = -99, s.d_elm = 0.2, s.aper = 0.02;
  std::int32_t* counts[3] = {&s.Nox, &s.Noy, &s.Noz};
  std::int32_t* codes[3] = {&s.ksym_x, &s.ksym_y, &s.ksym_z};
  for (int a = 0; a < 3; ++a) {
    const int n = stored_nodes[a];
    const bool unfolded = whole && kept.ksym[a] != 0;
    *codes[a] = unfolded ? 0 : kept.ksym[a];
    *counts[a] = unfolded ? 2 * n - 1 : n;
    for (int m = 1; m <= *counts[a]; ++m) {
      const int from = unfolded ? std::abs(m - n) + 1 : m;
      double t = (from - 1) * steps[a];
      if (kept.ksym[a] == 0) t -= 2 * steps[a];  // an axis of no plane starts off zero
      if (unfolded && m < n) t = -t;
      (a == 0 ? s.xmws(m) : a == 1 ? s.ymws(m) : s.zmws(m)) = t;
    }
  }
  s.Xmin = s.xmws(1), s.Xmax = s.xmws(s.Nox), s.Ymin = s.ymws(1), s.Ymax = s.ymws(s.Noy);
  s.Zmin = s.zmws(1), s.Zmax = s.zmws(s.Noz);
  OutputField* h[3] = {&s.HxOut, &s.HyOut, &s.HzOut};
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        for (int c = 0; c < 3; ++c) {
          (*h[c])(i, j, k) = (c + 1) * factor(s.xmws(i), 0, c, kept.ksym) *
                             factor(s.ymws(j), 1, c, kept.ksym) *
                             factor(s.zmws(k), 2, c, kept.ksym);
        }
      }
    }
  }
  StringSink sink;
  write_format(s, kept.format, sink);
  korvane::testing::write_file(path, sink.text);
  return path;
}

class KeptPlanes : public ::testing::TestWithParam<Kept> {
 protected:
  int run(const std::vector<std::string>& args) {
    out.clear(), err.clear();
    return run_inspect(args, out, err);
  }
  ScratchDir dir;
  std::string out, err;
};

TEST_P(KeptPlanes, ReadAsTheWholeMap) {
  const Kept& kept = GetParam();
  const std::string part = write_map(kept, false, (dir / "part").string());
  const std::string whole = write_map(kept, true, (dir / "whole").string());

  for (const auto& [a, b] : {std::pair{part, whole}, std::pair{whole, part}}) {
    EXPECT_EQ(run({a, "--field", "H", "--compare", b}), 0) << out << err;
    EXPECT_NE(out.find("part keeps "), std::string::npos) << out;
    EXPECT_NE(out.find("verdict: identical values"), std::string::npos) << out;
  }

  for (const std::string kind : {"vtk", "csv", "axis"}) {
    std::string files[2];
    for (int n = 0; n < 2; ++n) {
      const std::string name = (dir / (std::to_string(n) + "." + kind)).string();
      ASSERT_EQ(run({n == 0 ? part : whole, "--field", "H", "--" + kind, name}), 0) << err;
      if (kind != "axis") {
        EXPECT_EQ(out.find(": the map unfolded over ") != std::string::npos, n == 0) << out;
      }
      files[n] = read_file(name);
    }
    // VTK's title and the profile's comments name the file and how the axis was reached;
    // the rest is the same.
    for (std::string& text : files) {
      const std::size_t title = text.find('\n') + 1;
      if (kind == "vtk") text.erase(title, text.find('\n', title) - title);
      while (kind == "axis" && text[0] == '#') text.erase(0, text.find('\n') + 1);
    }
    EXPECT_EQ(files[0], files[1]) << kind;
  }
}

INSTANTIATE_TEST_SUITE_P(Planes, KeptPlanes,
                         ::testing::Values(Kept{"HalfY_Code1_Format1", 1, {0, 1, 0}},
                                           Kept{"QuarterXY_Format0", 0, {2, 1, 0}},
                                           Kept{"HalfZ_Code2_Format1", 1, {0, 0, 2}},
                                           Kept{"Eighth_Format0", 0, {1, 2, 1}}),
                         [](const ::testing::TestParamInfo<Kept>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace korvane::inspect
