// A field file as read back: what the beam code takes from it, and nothing of the
// converter's run. The members that a file carries have the names the writer walks in the
// field store (field_records.h walks both with one template), so the reader fills the map
// through the same record description.
#pragma once

#include <cstdint>
#include <memory>

#include "store/grid.h"

namespace korvane {

enum class FieldSets { none, electric, magnetic, electric_or_magnetic, both };

// "E", "H", "E and H", "E or H (3 components)" or "none".
const char* describe(FieldSets sets);

// How to take the three component records of a format 0 or 1 file, which does not say
// whether they hold the electric or the magnetic field.
enum class TripleSet { unknown, electric, magnetic };

struct FieldMap {
  // What the reader found.
  int format = -1;           // 0, 1 or 2
  FieldSets sets = FieldSets::none;
  int components = 0;        // component arrays in the file: 0, 3 or 6
  long records = 0;          // records read
  bool has_lengths = false;  // d_elm and aper are in the file (formats 0 and 1)

  // The header: element length and aperture (formats 0 and 1; 0 in format 2), whether both
  // sets are present (k_s_EH), the field kind (ifield: 0 E, 1 H, 2 both; for formats 0
  // and 1 derived from the sets found, 0 for a triple of unknown kind, -1 for none), the
  // output symmetry codes, and the end marker as read.
  double d_elm = 0.0, aper = 0.0;
  std::int32_t k_s_EH = 0;
  std::int32_t ifield = -1;
  std::int32_t ksym_x = 0, ksym_y = 0, ksym_z = 0;
  std::int32_t iend = 0;

  // The axes: node counts, node coordinates (m) and bounds.
  std::int32_t Nox = 0, Noy = 0, Noz = 0;
  Axis<Noxmax> xmws{};
  Axis<Noymax> ymws{};
  Axis<Nozmax> zmws{};
  double Xmin = 0.0, Xmax = 0.0, Ymin = 0.0, Ymax = 0.0, Zmin = 0.0, Zmax = 0.0;

  // The component arrays; those the file does not hold are zero. A triple of unknown kind
  // is in the electric arrays.
  OutputField ExOut{}, EyOut{}, EzOut{}, HxOut{}, HyOut{}, HzOut{};

  // Per-axis access (axis 0 x, 1 y, 2 z; nodes from 1).
  int count(int axis) const { return axis == 0 ? Nox : axis == 1 ? Noy : Noz; }
  double node(int axis, int n) const {
    return axis == 0 ? xmws(n) : axis == 1 ? ymws(n) : zmws(n);
  }
  std::int32_t ksym(int axis) const { return axis == 0 ? ksym_x : axis == 1 ? ksym_y : ksym_z; }
  // The mean step of an axis, (last - first) / (count - 1); 0 for a single node.
  double step(int axis) const {
    const int n = count(axis);
    return n < 2 ? 0.0 : node_step(node(axis, 1), node(axis, n), n);
  }
};

// A zeroed map on the heap (its arrays take about 6 MB).
inline std::unique_ptr<FieldMap> make_field_map() { return std::make_unique<FieldMap>(); }

}  // namespace korvane
