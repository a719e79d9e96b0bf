// korvane-inspect's analyses and renderers on small valid field maps built from the input.
//
// Arbitrary bytes are rarely a readable field file, so this target builds the map the reader
// would hand back: a format (0, 1 or 2), the sets it holds (a triple of unknown kind, E, H,
// both, or none; format 2 names its set), symmetry codes (-1 to 3), 1 to 7 nodes across and
// 1 to 12 along z on axes symmetric about 0, starting at 0 or anywhere, unevenly spaced in
// formats 0 and 1, and component values of either parity about each plane, with a few
// replaced by NaN, infinities, subnormals, extremes or any double. A second map from the same
// bytes, with one value changed or one node moved, is the other side of --compare.
//
// On each map run the summary, the checks (parities included), the comparison with itself
// and with the other map both ways, the axis profile and its CSV, every SVG picture, the VTK
// and CSV exports and, for one input in four, the openPMD file in the scratch folder. Each
// must end normally or, where the tool refuses the map (an axis off the grid, nodes a
// regular mesh cannot hold, units or sets the openPMD file needs), with std::runtime_error.
// What must hold besides: a map never differs from itself; a NaN or infinite value makes
// the checks fail; the CSV has a line per node; VTK refuses before writing anything, and
// never an evenly spaced grid; every SVG is a whole document without a NaN or an infinity
// in it; openPMD leaves its output or, refused, nothing, and never a temporary.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fieldfile/field_map.h"
#include "fieldfile/field_records.h"
#include "fuzz_support.h"
#include "inspect/analysis/axis.h"
#include "inspect/analysis/checks.h"
#include "inspect/analysis/compare.h"
#include "inspect/analysis/field_set.h"
#include "inspect/analysis/inspected_file.h"
#include "inspect/analysis/summary.h"
#include "inspect/analysis/unfolded_map.h"
#include "inspect/render/export.h"
#include "inspect/render/openpmd.h"
#include "inspect/render/report_page.h"
#include "inspect/render/svg.h"
#include "textio/byte_sink.h"

using namespace korvane;
using namespace korvane::inspect;
using korvane::fuzz::require;
namespace fs = std::filesystem;

namespace {

constexpr int max_across = 7, max_along = 12;

// The arrays a map holds: the sets it names, as field_sets() finds them.
std::vector<OutputField*> held_arrays(FieldMap& m) {
  std::vector<OutputField*> arrays;
  for (const FieldSet& set : field_sets(m)) {
    for (const OutputField* c : set.c) arrays.push_back(const_cast<OutputField*>(c));
  }
  return arrays;
}

// Zeroes every array over the map's grid: the maps are made once and used for every input,
// and an array a map does not hold reads as zero, as after the reader.
void clear_values(FieldMap& m) {
  for (OutputField* c : {&m.ExOut, &m.EyOut, &m.EzOut, &m.HxOut, &m.HyOut, &m.HzOut}) {
    for (int k = 1; k <= m.Noz; ++k) {
      for (int j = 1; j <= m.Noy; ++j) {
        for (int i = 1; i <= m.Nox; ++i) (*c)(i, j, k) = 0.0;
      }
    }
  }
}

// What the header says, as the reader derives it from the format and the sets found.
void build_header(FuzzedDataProvider& in, FieldMap& m) {
  m.format = in.ConsumeIntegralInRange(0, 2);
  static constexpr FieldSets text_sets[] = {FieldSets::electric_or_magnetic, FieldSets::electric,
                                            FieldSets::magnetic, FieldSets::both, FieldSets::none};
  // Format 2 names its set by ifield.
  m.sets = m.format == 2 ? text_sets[in.ConsumeIntegralInRange(1, 3)]
                         : text_sets[in.ConsumeIntegralInRange(0, 4)];
  m.components = m.sets == FieldSets::both ? 6 : m.sets == FieldSets::none ? 0 : 3;
  m.ifield = m.sets == FieldSets::both       ? 2
             : m.sets == FieldSets::magnetic ? 1
             : m.sets == FieldSets::none     ? -1
                                             : 0;
  m.k_s_EH = m.ifield == 2 ? 1 : 0;
  m.has_lengths = m.format != 2;
  m.d_elm = m.has_lengths ? in.ConsumeFloatingPointInRange(0.0, 10.0) : 0.0;
  m.aper = m.has_lengths ? in.ConsumeFloatingPointInRange(0.0, 1.0) : 0.0;
  m.ksym_x = in.ConsumeIntegralInRange(-1, 3);
  m.ksym_y = in.ConsumeIntegralInRange(-1, 3);
  m.ksym_z = in.ConsumeIntegralInRange(-1, 3);
  m.iend = end_marker;
}

// Nodes symmetric about 0, from 0, or anywhere; in formats 0 and 1, which list every node,
// one node may sit anywhere between its neighbours. True when the axis is evenly spaced.
template <int N>
bool build_axis(FuzzedDataProvider& in, const FieldMap& m, Axis<N>& nodes, std::int32_t& count,
                int most, double& low, double& high) {
  count = in.ConsumeIntegralInRange(1, most);
  const double length = in.ConsumeFloatingPointInRange(1e-4, 10.0);
  const int layout = in.ConsumeIntegralInRange(0, 2);
  low = layout == 0 ? -length / 2 : layout == 1 ? 0.0 : in.ConsumeFloatingPointInRange(-1.0, 1.0);
  lay_out_axis(nodes, low, layout == 0 ? length / 2 : low + length, count);
  bool even = true;
  if (m.format != 2 && count > 2 && in.ConsumeBool()) {
    const int n = in.ConsumeIntegralInRange(2, count - 1);
    nodes(n) = nodes(n - 1) + (nodes(n + 1) - nodes(n - 1)) * in.ConsumeProbability<double>();
    // Strictly between its neighbours, as a text file's increasing coordinates must be.
    if (!(nodes(n) > nodes(n - 1) && nodes(n) < nodes(n + 1))) {
      nodes(n) = (nodes(n - 1) + nodes(n + 1)) / 2;
    }
    even = false;
  }
  low = nodes(1);
  high = nodes(count);
  return even;
}

double special_value(FuzzedDataProvider& in) {
  static constexpr double specials[] = {
      std::numeric_limits<double>::quiet_NaN(),  -std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::infinity(),   -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
      std::numeric_limits<double>::min() / 3,    std::numeric_limits<double>::max(),
      std::numeric_limits<double>::lowest(),     -0.0};
  const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, std::size(specials));
  return pick < std::size(specials) ? specials[pick] : in.ConsumeFloatingPoint<double>();
}

// Each held component: an amplitude times a product of an odd or even profile along each
// axis, so that the parity checks meet every code; then a few values replaced.
void build_values(FuzzedDataProvider& in, FieldMap& m) {
  const std::vector<OutputField*> arrays = held_arrays(m);
  for (OutputField* c : arrays) {
    const double amplitude =
        in.ConsumeBool() ? special_value(in) : in.ConsumeFloatingPointInRange(-1e4, 1e4);
    bool odd[3];
    for (bool& o : odd) o = in.ConsumeBool();
    for (int k = 1; k <= m.Noz; ++k) {
      for (int j = 1; j <= m.Noy; ++j) {
        for (int i = 1; i <= m.Nox; ++i) {
          const double at[3] = {m.xmws(i), m.ymws(j), m.zmws(k)};
          double v = amplitude;
          for (int a = 0; a < 3; ++a) v *= odd[a] ? at[a] : 1.0 + at[a] * at[a];
          (*c)(i, j, k) = v;
        }
      }
    }
  }
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0 && !arrays.empty(); --n) {
    OutputField& c = *arrays[in.ConsumeIntegralInRange<std::size_t>(0, arrays.size() - 1)];
    const int i = in.ConsumeIntegralInRange(1, m.Nox), j = in.ConsumeIntegralInRange(1, m.Noy),
              k = in.ConsumeIntegralInRange(1, m.Noz);
    c(i, j, k) = special_value(in);
  }
}

// Builds the map; true when every axis is evenly spaced.
bool build_map(FuzzedDataProvider& in, FieldMap& m) {
  build_header(in, m);
  bool even = build_axis(in, m, m.xmws, m.Nox, max_across, m.Xmin, m.Xmax);
  even = build_axis(in, m, m.ymws, m.Noy, max_across, m.Ymin, m.Ymax) && even;
  even = build_axis(in, m, m.zmws, m.Noz, max_along, m.Zmin, m.Zmax) && even;
  build_values(in, m);
  return even;
}

// The other side of a comparison: the same map with one value changed, or its last z node
// moved by up to 0.4 of a step (format 2, which gives only the bounds, moves the bound).
void perturb(FuzzedDataProvider& in, FieldMap& other) {
  const std::vector<OutputField*> arrays = held_arrays(other);
  const int kind = in.ConsumeIntegralInRange(0, 2);
  if (kind == 1 && !arrays.empty()) {
    OutputField& c = *arrays[in.ConsumeIntegralInRange<std::size_t>(0, arrays.size() - 1)];
    c(1, 1, other.Noz) = special_value(in);
  } else if (kind == 2) {
    const double step = other.Noz > 1 ? other.step(2) : 1e-3;
    other.Zmax += step * in.ConsumeFloatingPointInRange(-0.4, 0.4);
    if (other.format == 2) {
      lay_out_axis(other.zmws, other.Zmin, other.Zmax, other.Noz);
    } else {
      other.zmws(other.Noz) = other.Zmax;
    }
  }
}

bool holds_non_finite(FieldMap& m) {
  for (const OutputField* c : held_arrays(m)) {
    for (int k = 1; k <= m.Noz; ++k) {
      for (int j = 1; j <= m.Noy; ++j) {
        for (int i = 1; i <= m.Nox; ++i) {
          if (!std::isfinite((*c)(i, j, k))) return true;
        }
      }
    }
  }
  return false;
}

void check_svg(const std::string& svg) {
  const std::string end = "</svg>\n";
  require(svg.rfind("<?xml", 0) == 0 && svg.size() >= end.size() &&
              svg.compare(svg.size() - end.size(), end.size(), end) == 0,
          "an SVG picture is not a whole document");
  // printf's renderings of a value that is not a number: a place or a size no browser draws.
  require(svg.find("nan") == std::string::npos && svg.find("inf") == std::string::npos,
          "an SVG picture holds a NaN or an infinity");
}

// The axis profile, on the map unfolded over its kept planes, with its report and CSV; none
// where the axis lies off the grid.
std::vector<AxisProfile> profile_axis(const InspectedFile& file) {
  try {
    const UnfoldedMap unfolded(file.map);
    const AxisReach x = reach_axis(unfolded, 0), y = reach_axis(unfolded, 1);
    std::vector<AxisProfile> profiles = axis_profiles(unfolded, x, y);
    require(!axis_report(file, unfolded, x, y, profiles).empty(), "an empty axis report");
    StringSink csv;
    write_axis_csv(file, unfolded, x, y, profiles, csv);
    return profiles;
  } catch (const std::runtime_error&) {
    return {};
  }
}

void render(const InspectedFile& file, const CheckReport& checks,
            const std::vector<AxisProfile>& profiles, bool even) {
  for (const FieldSet& set : field_sets(file.map)) {
    check_svg(axis_plot_svg(file, set));
    check_svg(plane_maps_svg(file, set));
  }
  for (const AxisProfile& p : profiles) {
    check_svg(axis_gradient_svg(file, p.set, p.dfy_dx, p.dfx_dy));
  }
  const UnfoldedMap mesh(file.map);
  StringSink vtk;
  try {
    write_vtk(file, mesh, vtk);
  } catch (const std::runtime_error&) {
    require(!even, "VTK refused an evenly spaced grid");
    require(vtk.text.empty(), "VTK wrote before it refused");
  }
  StringSink csv;
  write_csv(mesh, csv);
  require(std::count(csv.text.begin(), csv.text.end(), '\n') ==
              1L + mesh.count(0) * mesh.count(1) * mesh.count(2),
          "the CSV does not hold a line per node of the unfolded map");
  // The report page, from the same file, checks and profiles, a whole document.
  const ReportContext context{file, checks, profiles, "", nullptr, nullptr, 0.0, "fuzz"};
  const std::string page = report_page(context);
  require(page.rfind("<!DOCTYPE html>", 0) == 0 && page.find("</html>") != std::string::npos,
          "the report page is not a whole document");
}

void write_mesh(const InspectedFile& file, FuzzedDataProvider& in) {
  static constexpr const char* e_units[] = {"", "V/m", "V/cm", "kV/m", "MV/m"};
  static constexpr const char* b_units[] = {"", "T", "mT", "G"};
  OpenPmdOptions o;
  o.output = (fuzz::scratch() / "map.h5").string();
  o.anchor = static_cast<Anchor>(in.ConsumeIntegralInRange(0, 2));
  o.frequency = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(1.0, 1e10) : 0.0;
  o.e_unit = e_units[in.ConsumeIntegralInRange<std::size_t>(0, std::size(e_units) - 1)];
  o.b_unit = b_units[in.ConsumeIntegralInRange<std::size_t>(0, std::size(b_units) - 1)];
  o.complex_values = in.ConsumeBool();
  fuzz::clear_scratch();
  bool written = true;
  try {
    write_openpmd(file, o);
  } catch (const std::runtime_error&) {
    written = false;
  }
  for (const auto& entry : fs::directory_iterator(fuzz::scratch())) {
    require(written && entry.path() == o.output, "openPMD left a file other than its output");
  }
  require(!written || fs::exists(o.output), "openPMD reported its file written, and there is none");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<FieldMap> map = make_field_map(), other_map = make_field_map();
  clear_values(*map);
  clear_values(*other_map);
  FuzzedDataProvider in(data, size), again(data, size);
  const bool even = build_map(in, *map);
  build_map(again, *other_map);
  perturb(in, *other_map);
  const InspectedFile file{"eh_EMS.#07", *map}, other{"eh_EMS.#08", *other_map};
  static constexpr double tolerances[] = {0.0, 1e-12, 1e-3, 0.1, 1.0};
  const double tolerance = tolerances[in.ConsumeIntegralInRange<std::size_t>(0, 4)];

  require(!summary_report(file).empty(), "an empty summary");
  const CheckReport checks = check_report(file, std::max(tolerance, 1e-9));
  require(checks.fault || !holds_non_finite(*map), "a NaN or infinite value passed the checks");
  require(!compare_files(file, file, tolerance).differs, "a map differs from itself");
  compare_files(file, other, tolerance);
  compare_files(other, file, tolerance);
  render(file, checks, profile_axis(file), even);
  if (openpmd_built() && in.ConsumeIntegralInRange(0, 3) == 0) write_mesh(file, in);
  return 0;
}
