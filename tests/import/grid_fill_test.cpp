#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "import/table_import.h"
#include "support/test_support.h"
#include "symmetry/unfold.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"

namespace korvane {
namespace {

using testing::ScratchDir;

class FillFixture : public ::testing::Test {
 protected:
  void use_table(const std::string& table) {
    testing::write_file(dir / "table.txt", table);
    testing::set_table_name(*store, (dir / "table.txt").string());
  }
  // Probe, scan and load, as a run does them.
  void load(const std::string& table) {
    use_table(table);
    store->cscale = 1.0;
    probe_table(*store, run);
    find_input_grid(*store, run);
    check_input_grid(*store);
    fill_grid(*store, run);
  }
  // A grid set by hand, for loads that skip the scan.
  void set_grid(int ireim, int iord, int nx, int ny, int nz) {
    store->ireim = ireim, store->iord = iord;
    store->Nix = nx, store->Niy = ny, store->Niz = nz;
  }
  std::string load_error() {
    try {
      fill_grid(*store, run);
    } catch (const IoError& error) {
      return error.what();
    }
    ADD_FAILURE() << "no input error";
    return "";
  }

  ScratchDir dir;
  StorePtr store = make_store();
  StringSink sink;
  ListWriter log{sink};
  testing::CollectedWarnings warnings;
  RunContext run{"korvane", log, warnings};
};

// A table written the way a solver writes one: nested loops, the fastest axis innermost,
// the record number as the x component.
std::string numbered_table(const char* order, int nx, int ny, int nz) {
  const int count[3] = {nx, ny, nz};
  const int slow = order[0] - 'x', middle = order[1] - 'x', fast = order[2] - 'x';
  std::string text;
  int r = 0, node[3];
  char line[128];
  for (node[slow] = 0; node[slow] < count[slow]; ++node[slow]) {
    for (node[middle] = 0; node[middle] < count[middle]; ++node[middle]) {
      for (node[fast] = 0; node[fast] < count[fast]; ++node[fast]) {
        std::snprintf(line, sizeof line, "%d %d %d %d 0 0\n", node[0], node[1], node[2], ++r);
        text += line;
      }
    }
  }
  return text;
}

TEST_F(FillFixture, YFastestThenXThenZ) {
  load(numbered_table("zxy", 2, 3, 2));
  EXPECT_EQ(store->iord, 213);
  EXPECT_EQ(store->ExIn(2, 1, 1), 4.0);
  EXPECT_EQ(store->ExIn(1, 1, 2), 7.0);
  EXPECT_EQ(store->ExIn(2, 3, 2), 12.0);
}

TEST_F(FillFixture, ZFastestThenXThenY) {
  load(numbered_table("yxz", 2, 3, 4));
  EXPECT_EQ(store->iord, 231);
  EXPECT_EQ(store->ExIn(1, 1, 2), 2.0);
  EXPECT_EQ(store->ExIn(2, 1, 1), 5.0);  // record Niz + 1
  EXPECT_EQ(store->ExIn(1, 2, 1), 9.0);
}

TEST_F(FillFixture, RecordsWithoutCoordinatesRunZFastestThenYThenX) {
  // Records split over two lines; the first line holds one value, so no coordinates.
  std::string table;
  for (int r = 1; r <= 24; ++r) {
    table += std::to_string(r) + ",\r\n 0.5  -" + std::to_string(r) + "\r\n";
  }
  use_table(table);
  store->aper = 1, store->d_elm = 1;
  store->Nox = 2, store->Noy = 3, store->Noz = 4;
  probe_table(*store, run);
  ASSERT_EQ(store->ireim, 3);
  find_input_grid(*store, run);
  store->iord = 123;  // whatever iord holds, such a table runs z fastest
  fill_grid(*store, run);
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) {
      for (int k = 1; k <= 4; ++k) {
        const double r = (i - 1) * 12 + (j - 1) * 4 + k;
        ASSERT_EQ(store->ExIn(i, j, k), r);
        ASSERT_EQ(store->EyIn(i, j, k), 0.5);
        ASSERT_EQ(store->EzIn(i, j, k), -r);
      }
    }
  }
}

TEST_F(FillFixture, RealPartsOnlyWhateverTheRecordForm) {
  // Commas, D exponents, trailing comments, CR LF; the imaginary parts never reach the
  // arrays, and the text after the mesh is never read.
  std::string table;
  int r = 0;
  char line[160];
  for (int k = 0; k < 2; ++k) {
    for (int j = 0; j < 2; ++j) {
      for (int i = 0; i < 2; ++i) {
        ++r;
        std::snprintf(line, sizeof line,
                      "%d.0D0, %d, %d, %d.5D0, -%dd-1, %dE1, 7D3 8 9 ! node %d\r\n", i, j, k, r,
                      r, r, r);
        table += line;
      }
    }
  }
  load(table + "end of export\r\n");
  ASSERT_EQ(store->ireim, 1);
  EXPECT_EQ(store->iord, 123);
  store->ifield = 2;
  scale_field(*store);
  EXPECT_EQ(store->ExIn(2, 1, 1), 2.5);
  EXPECT_EQ(store->EyIn(2, 1, 1), -0.2);
  EXPECT_EQ(store->EzIn(1, 2, 2), 70.0);
  EXPECT_EQ(store->HxIn(2, 1, 1), 0.0);
  EXPECT_EQ(store->HzIn(2, 2, 2), 0.0);
  EXPECT_TRUE(warnings.texts.empty());
}

TEST_F(FillFixture, ReadsExactlyTheRecordsOfTheGrid) {
  use_table("0 0 0 1 0 0\n0 0 1 2 0 0\n0 0 2 3 0 0\n9 9 9 99 99 99\nnot a record\n");
  set_grid(2, 321, 1, 1, 3);
  fill_grid(*store, run);
  EXPECT_EQ(store->ExIn(1, 1, 3), 3.0);
  EXPECT_EQ(store->ExIn(1, 1, 4), 0.0);
}

TEST_F(FillFixture, TableEndingEarlyIsAnErrorNamingUnitFileAndLine) {
  use_table("0 0 0 1 0 0\n1 0 0 2 0 0\n0 1 0 3 0 0\n1 1 0 4 0 0\n0 0 1 5 0\n");
  set_grid(2, 123, 2, 2, 2);
  const std::string message = load_error();
  EXPECT_NE(message.find("unit 2, file '"), std::string::npos) << message;
  EXPECT_NE(message.find("table.txt'"), std::string::npos) << message;
  EXPECT_NE(message.find("end of file after line 5"), std::string::npos) << message;
}

TEST_F(FillFixture, UnreadableValueIsAnErrorShowingLineAndToken) {
  use_table("0 0 0 1 0 0\n1 0 0 2 0 0\n0 1 0 3 0 0\n1 1 0 4.0.0 0 0\n");
  set_grid(2, 123, 2, 2, 2);
  const std::string message = load_error();
  EXPECT_NE(message.find("table.txt', line 4: '4.0.0' is not a real number"),
            std::string::npos)
      << message;
  EXPECT_NE(message.find("\n    1 1 0 4.0.0 0 0\n          ^"), std::string::npos) << message;
}

// ifield routes and scales the loaded components.
struct ScaleCase {
  int ifield;
  double fscale;
};

void PrintTo(const ScaleCase& c, std::ostream* out) {
  *out << "ifield " << c.ifield << ", fscale " << c.fscale;
}

class ScaleField : public FillFixture, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaleField, RoutesAndScalesByFieldKind) {
  const auto [ifield, fscale] = GetParam();
  const double v[3] = {3.0, 1.3, -11.1};
  store->Nix = 2, store->Niy = 1, store->Niz = 2;
  store->ifield = ifield, store->fscale = fscale;
  for (int c = 0; c < 3; ++c) {
    InputField* e[3] = {&store->ExIn, &store->EyIn, &store->EzIn};
    (*e[c])(2, 1, 2) = v[c];
  }
  TaskPool pool(2);  // the node lies in the second of two z planes, on its own thread
  scale_field(*store, &pool);
  const double ex[3] = {store->ExIn(2, 1, 2), store->EyIn(2, 1, 2), store->EzIn(2, 1, 2)};
  const double hx[3] = {store->HxIn(2, 1, 2), store->HyIn(2, 1, 2), store->HzIn(2, 1, 2)};
  for (int c = 0; c < 3; ++c) {
    if (ifield == 0) {
      EXPECT_EQ(ex[c], (fscale * v[c]) * 0.01) << c;
      EXPECT_EQ(hx[c], 0.0);
    } else if (ifield == 1) {
      EXPECT_EQ(hx[c], fscale * v[c]) << c;
      EXPECT_EQ(ex[c], 0.0);
    } else {
      EXPECT_EQ(ex[c], v[c]) << c;
      EXPECT_EQ(hx[c], 0.0);
    }
  }
  if (ifield == 0 && fscale == 2.0) {
    EXPECT_NEAR(ex[0], 0.06, 1e-17);
  }
  if (ifield == 1 && fscale == 2.0) {
    EXPECT_EQ(hx[0], 6.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ScaleField,
                         ::testing::Values(ScaleCase{0, 2.0}, ScaleCase{0, 1.7},
                                           ScaleCase{1, 2.0}, ScaleCase{1, 1.7},
                                           ScaleCase{2, 1.7}, ScaleCase{3, 1.7},
                                           ScaleCase{-1, 1.7}),
                         [](const auto& info) {
                           const ScaleCase& c = info.param;
                           return (c.ifield < 0 ? "IfieldMinus" + std::to_string(-c.ifield)
                                                : "Ifield" + std::to_string(c.ifield)) +
                                  (c.fscale == 2.0 ? "ByTwo" : "ByOnePointSeven");
                         });

TEST_F(FillFixture, ZRangeShiftedToZeroThenCentred) {
  store->Zimin = 0.5, store->Zimax = 2.5;
  shift_z(*store, log);
  EXPECT_EQ(store->Zimin, 0.0);
  EXPECT_EQ(store->Zimax, 2.0);
  centre_z(*store, log);
  EXPECT_EQ(store->Zimin, -1.0);
  EXPECT_EQ(store->Zimax, 1.0);
  StringSink expected;
  ListWriter records(expected);
  records.record(" Shifted Z: Zmin, Zmax= ", 0.0, 2.0);
  records.record(" Centered Z: Zimin, Zimax= ", -1.0, 1.0);
  EXPECT_EQ(sink.text, expected.text);
}

TEST_F(FillFixture, ZFromZeroUnfoldedIsNeitherShiftedNorCentred) {
  store->Nix = store->Niy = 1, store->Niz = 3;
  store->Zimin = 0.0, store->Zimax = 2.0;
  store->isym_z = 1;
  shift_z(*store, log);
  unfold_symmetry(*store);
  centre_z(*store, log);
  EXPECT_EQ(store->Zimin, -2.0);
  EXPECT_EQ(store->Zimax, 2.0);
  EXPECT_EQ(sink.text, "");
}

// Where the z range lands after shift, unfolding and centring, by the codes as read: a z
// half the output keeps stays from 0 up, every other table is centred on 0.
TEST(CentreZ, KeptZHalfStaysFromZeroEveryOtherRangeIsCentred) {
  const struct {
    int isym_z, ksym_z;
    double zmin, zmax;
    bool centred_record;
  } cases[] = {
      {0, 0, -1.0, 1.0, true},   // a full table
      {0, 2, -1.0, 1.0, true},   // a full table, the output keeping a plane
      {2, 1, -2.0, 2.0, false},  // a half unfolded with code 2
      {1, 0, -2.0, 2.0, false},  // a half unfolded with code 1
      {2, 2, 0.0, 2.0, false},   // a half kept
      {1, 1, 0.0, 2.0, false},
  };
  for (const auto& c : cases) {
    StorePtr store = make_store();
    StringSink sink;
    ListWriter log(sink);
    store->Nix = store->Niy = 1, store->Niz = 3;
    store->Zimin = 5.0, store->Zimax = 7.0;
    store->isym_z = c.isym_z, store->ksym_z = c.ksym_z;
    shift_z(*store, log);
    unfold_symmetry(*store);
    centre_z(*store, log);
    EXPECT_EQ(store->Zimin, c.zmin) << c.isym_z << c.ksym_z;
    EXPECT_EQ(store->Zimax, c.zmax) << c.isym_z << c.ksym_z;
    EXPECT_EQ(sink.text.find("Centered") != std::string::npos, c.centred_record)
        << c.isym_z << c.ksym_z;
  }
}

TEST_F(FillFixture, SingleZNodeIsNeitherShiftedNorCentred) {
  shift_z(*store, log);
  centre_z(*store, log);
  EXPECT_EQ(store->Zimin, 0.0);
  EXPECT_EQ(store->Zimax, 0.0);
  EXPECT_EQ(sink.text, "");
}

// Coordinates checked against the regular mesh while loading.
TEST_F(FillFixture, NonUniformAxisWarnsOnceNamingTableAndLine) {
  std::string table;
  const char* x[3] = {"0", "0.3", "1"};
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 3; ++i) {
        table += std::string(x[i]) + " " + std::to_string(j) + " " + std::to_string(k) + " " +
                 std::to_string(i + 1) + " 0 0\n";
      }
    }
  }
  load(table);
  ASSERT_EQ(warnings.texts.size(), 1u);
  EXPECT_NE(warnings.texts[0].find("table.txt', line 2:"), std::string::npos)
      << warnings.texts[0];
  EXPECT_EQ(store->ExIn(2, 3, 3), 2.0);  // still placed by record order
}

TEST_F(FillFixture, PrintRoundingInCoordinatesDoesNotWarn) {
  std::string table;
  char line[128];
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 4; ++i) {
        std::snprintf(line, sizeof line, "%.6g %.4g %.6g 1 2 3\n", i / 3.0, 0.1 * j,
                      2.54 * k / 7.0);
        table += line;
      }
    }
  }
  load(table);
  EXPECT_EQ(store->Nix, 4);
  EXPECT_TRUE(warnings.texts.empty()) << warnings.texts[0];
}

TEST(MeshWarning, ProgramNameNotRepeatedAfterTheWarningPrefix) {
  ScratchDir dir;
  testing::Control control;
  testing::write_file(dir / "korvane.dat", control.text());
  std::string table;
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) {
      for (const char* x : {"-1", "0.2", "1"}) {
        table += std::string(x) + " " + std::to_string(j - 1) + " " + std::to_string(k) +
                 " 1 2 3\n";
      }
    }
  }
  testing::write_file(dir / "table.txt", table);
  const testing::ProcessResult result = testing::run_korvane(dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string prefix = "korvane: warning: unit 2, file 'table.txt', line 2: ";
  EXPECT_EQ(result.err.compare(0, prefix.size(), prefix), 0) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

}  // namespace
}  // namespace korvane
