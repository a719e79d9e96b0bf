#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "symmetry/unfold.h"

namespace korvane {
namespace {

// A field with a different, non-zero value for every set, component and node, so that a
// wrong source node or a wrong sign cannot go unseen.
double exported_value(int set, int component, int i, int j, int k) {
  const double v = (component + 1) * 1000 + i * 100 + j * 10 + k;
  return set == 0 ? v : -v - 0.5;
}

InputField* in_array(FieldStore& s, int set, int c) {
  InputField* a[6] = {&s.ExIn, &s.EyIn, &s.EzIn, &s.HxIn, &s.HyIn, &s.HzIn};
  return a[3 * set + c];
}
InputField* full_array(FieldStore& s, int set, int c) {
  InputField* a[6] = {&s.ExFull, &s.EyFull, &s.EzFull, &s.HxFull, &s.HyFull, &s.HzFull};
  return a[3 * set + c];
}

class UnfoldFixture : public ::testing::Test {
 protected:
  void export_region(int nx, int ny, int nz) {
    FieldStore& s = *store;
    s.Nix = nx, s.Niy = ny, s.Niz = nz;
    s.Ximin = 0.1, s.Ximax = 0.7;
    s.Yimin = 0.0, s.Yimax = 0.3;
    s.Zimin = 0.0, s.Zimax = 0.2;
    for (int set = 0; set < 2; ++set) {
      for (int c = 0; c < 3; ++c) {
        for (int k = 1; k <= nz; ++k) {
          for (int j = 1; j <= ny; ++j) {
            for (int i = 1; i <= nx; ++i) {
              (*in_array(s, set, c))(i, j, k) = exported_value(set, c, i, j, k);
            }
          }
        }
      }
    }
  }
  double in(int set, int c, int i, int j, int k) { return (*in_array(*store, set, c))(i, j, k); }
  double full(int set, int c, int i, int j, int k) {
    return (*full_array(*store, set, c))(i, j, k);
  }
  StorePtr store = make_store();
};

// The sign a mirrored component takes, from the meaning of the codes alone: at a plane of
// code 1 the component along the plane's axis is odd, at a plane of code 2 the two others.
double parity(const int code[3], const bool mirrored[3], int component) {
  double sign = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const bool odd = code[axis] == 1 ? component == axis : code[axis] == 2 && component != axis;
    if (odd && mirrored[axis]) sign = -sign;
  }
  return sign;
}

class UnfoldCase : public UnfoldFixture, public ::testing::WithParamInterface<int> {};

TEST_P(UnfoldCase, EveryComponentMirroredWithItsParityOnAnyNumberOfThreads) {
  const int code[3] = {GetParam() / 9, GetParam() / 3 % 3, GetParam() % 3};
  const int exported[3] = {3, 4, 2};
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    TaskPool pool(threads);
    export_region(exported[0], exported[1], exported[2]);
    FieldStore& s = *store;
    for (int set = 0; set < 2; ++set) {
      for (int c = 0; c < 3; ++c) {
        for (int k = 1; k <= 3; ++k) {
          for (int j = 1; j <= 7; ++j) {
            for (int i = 1; i <= 5; ++i) (*full_array(s, set, c))(i, j, k) = std::nan("");
          }
        }
      }
    }
    s.isym_x = code[0], s.isym_y = code[1], s.isym_z = code[2];
    unfold_symmetry(s, &pool);

    EXPECT_EQ(s.symcode, 100 * code[0] + 10 * code[1] + code[2]);
    int count[3];
    for (int a = 0; a < 3; ++a) count[a] = code[a] != 0 ? 2 * exported[a] - 1 : exported[a];
    EXPECT_EQ(s.Nix, count[0]);
    EXPECT_EQ(s.Niy, count[1]);
    EXPECT_EQ(s.Niz, count[2]);
    EXPECT_EQ(s.Ximin, code[0] != 0 ? -0.7 : 0.1);
    EXPECT_EQ(s.Yimin, code[1] != 0 ? -0.3 : 0.0);
    EXPECT_EQ(s.Zimin, code[2] != 0 ? -0.2 : 0.0);
    EXPECT_EQ(s.Ximax, 0.7);

    int n[3];
    for (n[2] = 1; n[2] <= count[2]; ++n[2]) {
      for (n[1] = 1; n[1] <= count[1]; ++n[1]) {
        for (n[0] = 1; n[0] <= count[0]; ++n[0]) {
          int m[3];
          bool mirrored[3];
          for (int a = 0; a < 3; ++a) {
            // The plane is the first exported node, shared by both halves.
            m[a] = code[a] != 0 ? std::abs(n[a] - exported[a]) + 1 : n[a];
            mirrored[a] = code[a] != 0 && n[a] < exported[a];
          }
          for (int set = 0; set < 2; ++set) {
            for (int c = 0; c < 3; ++c) {
              ASSERT_EQ(full(set, c, n[0], n[1], n[2]),
                        parity(code, mirrored, c) * in(set, c, m[0], m[1], m[2]))
                  << "set " << set << " component " << c << " at " << n[0] << "," << n[1]
                  << "," << n[2];
            }
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllCodes, UnfoldCase, ::testing::Range(0, 27), [](const auto& info) {
  const int n = info.param;
  return "Symcode" + std::to_string(n / 9) + std::to_string(n / 3 % 3) + std::to_string(n % 3);
});

TEST_F(UnfoldFixture, NormalComponentOddAtAPlaneOfCodeOne) {
  export_region(4, 2, 2);
  store->isym_x = 1, store->ksym_x = 2;
  unfold_symmetry(*store);
  EXPECT_EQ(store->Nix, 7);
  EXPECT_EQ(store->Ximin, -store->Ximax);
  EXPECT_EQ(store->ExFull(2, 1, 1), -store->ExIn(3, 1, 1));
  EXPECT_EQ(store->EyFull(2, 1, 1), store->EyIn(3, 1, 1));
  EXPECT_EQ(store->HxFull(1, 2, 2), -store->HxIn(4, 2, 2));
  // The plane node keeps the exported value of an odd component: it is not forced to 0.
  EXPECT_EQ(store->ExFull(4, 1, 1), store->ExIn(1, 1, 1));
  EXPECT_NE(store->ExFull(4, 1, 1), 0.0);
  EXPECT_EQ(store->ExFull(5, 1, 1), store->ExIn(2, 1, 1));
}

TEST_F(UnfoldFixture, ComponentOddAtTwoPlanesKeepsItsSignInTheDoublyMirroredQuadrant) {
  export_region(3, 3, 1);
  store->isym_x = 1, store->isym_y = 2;  // case 120: x components carry sgnx * sgny
  unfold_symmetry(*store);
  EXPECT_EQ(store->ExFull(1, 1, 1), store->ExIn(3, 3, 1));
  EXPECT_EQ(store->ExFull(1, 5, 1), -store->ExIn(3, 3, 1));
  EXPECT_EQ(store->ExFull(5, 1, 1), -store->ExIn(3, 3, 1));
  EXPECT_EQ(store->ExFull(5, 5, 1), store->ExIn(3, 3, 1));
}

TEST_F(UnfoldFixture, PlaneKeptByTheOutputIsNotUnfolded) {
  export_region(3, 2, 2);
  store->isym_x = 2, store->ksym_x = 2;
  unfold_symmetry(*store);
  EXPECT_EQ(store->isym_x, 0);
  EXPECT_EQ(store->symcode, 0);
  EXPECT_EQ(store->Nix, 3);
  EXPECT_EQ(store->Ximin, 0.1);
  EXPECT_EQ(store->ExFull(3, 2, 2), store->ExIn(3, 2, 2));
  EXPECT_EQ(store->HyFull(1, 1, 1), store->HyIn(1, 1, 1));
}

TEST_F(UnfoldFixture, OutputPlaneAloneUnfoldsNothing) {
  export_region(3, 2, 2);
  store->ksym_x = 1;
  unfold_symmetry(*store);
  EXPECT_EQ(store->symcode, 0);
  EXPECT_EQ(store->Nix, 3);
  EXPECT_EQ(store->ExFull(3, 2, 2), store->ExIn(3, 2, 2));
}

TEST_F(UnfoldFixture, SingleNodeAxisStaysOneNodeWithBoundsMirrored) {
  export_region(1, 2, 2);
  store->isym_x = 1;
  unfold_symmetry(*store);
  EXPECT_EQ(store->Nix, 1);
  EXPECT_EQ(store->Ximin, -0.7);
  EXPECT_EQ(store->ExFull(1, 2, 2), store->ExIn(1, 2, 2));
}

}  // namespace
}  // namespace korvane
