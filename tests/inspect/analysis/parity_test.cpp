// The parity check on smooth fields converted by the real converter, for every one of the
// 26 unfolding cases, with the right codes and with one code wrong.
#include "inspect/analysis/parity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>

#include "driver/conversion.h"
#include "fieldfile/field_reader.h"
#include "inspect/analysis/checks.h"
#include "support/test_support.h"

namespace korvane::inspect {
namespace {

using korvane::testing::CollectedWarnings;
using korvane::testing::Control;
using korvane::testing::ScratchDir;
using korvane::testing::WorkingDir;

constexpr double half_extent = 0.02;  // of the unfolded field along each axis, in m
constexpr int half_nodes = 6;         // exported nodes from the plane to the edge

// The symmetry codes of the field the table generator draws; make_table takes a plain
// function, so they live here.
int field_codes[3] = {0, 0, 0};

// Each component is a product of one factor per axis: about a plane with code 1 the normal
// component is odd and the parallel ones even, with code 2 the other way round; along an
// axis without a plane the factor has no parity at all. Not polynomial, so neither the
// interpolation nor the mirrored stencils are exact.
double coded_field(double x, double y, double z, int component) {
  const double at[3] = {x, y, z};
  double value = 1.0 - 0.2 * component;
  for (int a = 0; a < 3; ++a) {
    const double t = at[a] / half_extent;
    const int code = field_codes[a];
    const bool odd = code == 1 ? component == a : code == 2 && component != a;
    value *= code == 0 ? std::exp(0.5 * t) : odd ? std::sin(1.2 * t) : std::cos(1.2 * t);
  }
  return value;
}

// Output node counts along each axis: on the unfolded input nodes, an even count (no node
// on the planes), and twice as many (every other node halfway between input nodes).
enum class NodeLayout { on_input_nodes, even_count, halfway };

struct Case {
  int codes[3];
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "isym " << c.codes[0] << " " << c.codes[1] << " " << c.codes[2];
}

class ParityOfUnfoldingCase : public ::testing::TestWithParam<Case> {
 protected:
  // Converts the field exported for `exported` codes (the table then covers x >= 0 where
  // the code is not 0) onto `layout`, read back as a magnetic field.
  void convert(const int exported[3], NodeLayout layout) {
    int counts[3];
    double lo[3], step[3];
    for (int a = 0; a < 3; ++a) {
      step[a] = half_extent / (half_nodes - 1);
      const bool half = GetParam().codes[a] != 0;
      counts[a] = half ? half_nodes : 2 * half_nodes - 1;
      lo[a] = half ? 0.0 : -half_extent;
    }
    std::copy(GetParam().codes, GetParam().codes + 3, field_codes);
    korvane::testing::write_file(
        dir / "table.txt", korvane::testing::make_table(counts[0], counts[1], counts[2], lo, step,
                                                        321, 9, coded_field));
    Control control;
    control.ifield = 1;
    control.d_elm = "0.04";
    control.aper = "0.02";
    const int unfolded = 2 * half_nodes - 1;
    const int out = layout == NodeLayout::on_input_nodes ? unfolded
                    : layout == NodeLayout::even_count   ? unfolded - 1
                                                     : 2 * unfolded - 1;
    for (int a = 0; a < 3; ++a) {
      control.isym[a] = exported[a];
      control.counts[a] = out;
    }
    korvane::testing::write_file(dir / "korvane.dat", control.text());
    {
      WorkingDir here(dir.path());
      StorePtr converter = make_store();
      CollectedWarnings warnings;
      ASSERT_EQ(run_conversion(*converter, warnings).status, 0);
    }
    map = read_field_file((dir / "eh_EMS.#07").string(), TripleSet::magnetic);
  }
  std::vector<PlaneParity> planes() const {
    const FieldSet set = field_sets(*map)[0];
    return plane_parities(*map, set, largest_magnitude(*map, set), default_parity_tolerance);
  }
  bool fault() const {
    return check_report(InspectedFile{"eh_EMS.#07", *map}, default_parity_tolerance).fault;
  }

  ScratchDir dir;
  std::unique_ptr<FieldMap> map;
};

std::string layout_name(NodeLayout layout) {
  return layout == NodeLayout::on_input_nodes ? "on the input nodes"
         : layout == NodeLayout::even_count   ? "even count"
                                          : "halfway nodes";
}

TEST_P(ParityOfUnfoldingCase, RightCodesPassAndAreNamed) {
  for (NodeLayout layout : {NodeLayout::on_input_nodes, NodeLayout::even_count, NodeLayout::halfway}) {
    SCOPED_TRACE(layout_name(layout));
    convert(GetParam().codes, layout);
    const std::vector<PlaneParity> found = planes();
    ASSERT_EQ(found.size(), 3u);  // every output axis is symmetric about 0
    for (const PlaneParity& plane : found) {
      const int code = GetParam().codes[plane.axis];
      SCOPED_TRACE("axis " + std::to_string(plane.axis));
      if (code == 0) {
        EXPECT_EQ(plane.match, PlaneMatch::not_symmetric);
      } else {
        EXPECT_EQ(plane.match, code == 1 ? PlaneMatch::code1 : PlaneMatch::code2)
            << describe(plane.match);
      }
    }
    EXPECT_FALSE(fault());
  }
}

TEST_P(ParityOfUnfoldingCase, OneWrongCodeFailsAndNamesItsPlane) {
  for (int a = 0; a < 3; ++a) {
    if (GetParam().codes[a] == 0) continue;
    int wrong[3];
    std::copy(GetParam().codes, GetParam().codes + 3, wrong);
    wrong[a] = 3 - wrong[a];
    for (NodeLayout layout : {NodeLayout::on_input_nodes, NodeLayout::even_count, NodeLayout::halfway}) {
      SCOPED_TRACE("axis " + std::to_string(a) + ", " + layout_name(layout));
      convert(wrong, layout);
      EXPECT_TRUE(fault());
      for (const PlaneParity& plane : planes()) {
        EXPECT_EQ(plane.fault(), plane.axis == a) << plane.axis << ": " << describe(plane.match);
      }
    }
  }
}

std::vector<Case> unfolding_cases() {
  std::vector<Case> cases;
  for (int code = 1; code < 27; ++code) cases.push_back({{code / 9, code / 3 % 3, code % 3}});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryCase, ParityOfUnfoldingCase, ::testing::ValuesIn(unfolding_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           const int* c = info.param.codes;
                           return "isym" + std::to_string(c[0]) + std::to_string(c[1]) +
                                  std::to_string(c[2]);
                         });

TEST(Parity, SwappedComponentsFail) {
  // Code 2 about x, code 1 about y and z, as ParityOfUnfoldingCase draws it; then Hx and Hy
  // change places, as when two columns are read in the wrong order.
  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& s = *map;
  s.sets = FieldSets::magnetic;
  s.Nox = s.Noy = s.Noz = 9;
  for (int n = 1; n <= 9; ++n) s.xmws(n) = s.ymws(n) = s.zmws(n) = half_extent * (n - 5) / 4;
  field_codes[0] = 2, field_codes[1] = 1, field_codes[2] = 1;
  for (int k = 1; k <= 9; ++k) {
    for (int j = 1; j <= 9; ++j) {
      for (int i = 1; i <= 9; ++i) {
        s.HyOut(i, j, k) = coded_field(s.xmws(i), s.ymws(j), s.zmws(k), 0);
        s.HxOut(i, j, k) = coded_field(s.xmws(i), s.ymws(j), s.zmws(k), 1);
        s.HzOut(i, j, k) = coded_field(s.xmws(i), s.ymws(j), s.zmws(k), 2);
      }
    }
  }
  const FieldSet set = field_sets(s)[0];
  const std::vector<PlaneParity> planes =
      plane_parities(s, set, largest_magnitude(s, set), default_parity_tolerance);
  ASSERT_EQ(planes.size(), 3u);
  EXPECT_EQ(planes[0].match, PlaneMatch::mixed);
  EXPECT_EQ(planes[1].match, PlaneMatch::mixed);
  EXPECT_EQ(planes[2].match, PlaneMatch::code1);  // swapping x and y keeps the z parities
}


TEST(Parity, WrongCodeOnAFieldGatheredAboutThePlaneJumps) {
  // The Ez of a gap, a Gaussian of 4 steps about z = 0, unfolded with code 1 instead of 2:
  // odd on both sides, the exported value kept on the plane. It is small over the outer
  // half of the axis, so only the nodes beyond the stencil's reach show it odd.
  std::unique_ptr<FieldMap> map = make_field_map();
  FieldMap& s = *map;
  s.sets = FieldSets::electric;
  s.Nox = s.Noy = 3, s.Noz = 41;
  for (int n = 1; n <= 3; ++n) s.xmws(n) = s.ymws(n) = 0.001 * (n - 2);
  for (int n = 1; n <= 41; ++n) s.zmws(n) = 0.001 * (n - 21);
  for (int k = 1; k <= 41; ++k) {
    const double steps = k - 21.0;
    const double gap = std::exp(-(steps / 4) * (steps / 4));
    for (int j = 1; j <= 3; ++j) {
      for (int i = 1; i <= 3; ++i) s.EzOut(i, j, k) = steps < 0 ? -gap : gap;
    }
  }
  const FieldSet set = field_sets(s)[0];
  const std::vector<PlaneParity> planes =
      plane_parities(s, set, largest_magnitude(s, set), default_parity_tolerance);
  ASSERT_EQ(planes.size(), 3u);
  EXPECT_EQ(planes[2].c[2].parity, Parity::jump);
  EXPECT_TRUE(planes[2].fault());
  // Either cause leaves this mark; the message names both and the comparison that decides.
  const std::string message = describe(planes[2].match);
  EXPECT_NE(message.find("a wrong symmetry code"), std::string::npos) << message;
  EXPECT_NE(message.find("an interpolation across a wall or a sharp peak"), std::string::npos);
  EXPECT_NE(message.find("--source CONTROL"), std::string::npos);
}

}  // namespace
}  // namespace korvane::inspect
