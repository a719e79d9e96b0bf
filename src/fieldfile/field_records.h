// The record sequence of each output field format, written down once and walked in both
// directions: the writers hand every value of the store to a codec that writes it, the
// readers (field_reader.h) hand the same places to a codec that fills them.
//
// A codec provides:
//   begin(reals, integers)       a record of that many doubles and 32-bit integers
//   begin_axis(count, capacity)  a record of `count` node coordinates; a reader learns the
//                                count from the file and checks it against the capacity
//   count(value, capacity)       an integer item that is a node count
//   real(value), integer(value)  one item
//   end()                        the end of the record
//   component_arrays(values, arrays)  the component arrays the file carries, in order
// Readers walk the FieldMap they fill (field_map.h), writers a const FieldStore: the two
// share the member names of every value a file carries, so the same walk either reads each
// value or writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "store/grid.h"

namespace korvane {

// A component array of a store, const when the store is.
template <class Store>
using component_array_t =
    std::conditional_t<std::is_const_v<Store>, const OutputField, OutputField>;

// The component arrays a file carries for a given ifield: electric (0), magnetic (1),
// electric then magnetic (2), none for any other value.
template <class Store>
int arrays_for_ifield(std::int32_t ifield, Store& s, component_array_t<Store>* arrays[6]) {
  int n = 0;
  if (ifield == 0 || ifield == 2) {
    arrays[n++] = &s.ExOut;
    arrays[n++] = &s.EyOut;
    arrays[n++] = &s.EzOut;
  }
  if (ifield == 1 || ifield == 2) {
    arrays[n++] = &s.HxOut;
    arrays[n++] = &s.HyOut;
    arrays[n++] = &s.HzOut;
  }
  return n;
}

// The last record of formats 0 and 1: one integer that says the component records are over.
inline constexpr std::int32_t end_marker = -99;

// The nodes of the output grid, Nox * Noy * Noz.
template <class Store>
std::size_t output_nodes(const Store& s) {
  return static_cast<std::size_t>(s.Nox) * static_cast<std::size_t>(s.Noy) *
         static_cast<std::size_t>(s.Noz);
}

// Copies every value a field file carries (the header, the codes, the axes and bounds, the
// component arrays) from a store to a map or back, so that a map read can be written again.
template <class From, class To>
void copy_file_values(const From& from, To& to) {
  to.d_elm = from.d_elm, to.aper = from.aper;
  to.k_s_EH = from.k_s_EH, to.ifield = from.ifield, to.iend = from.iend;
  to.ksym_x = from.ksym_x, to.ksym_y = from.ksym_y, to.ksym_z = from.ksym_z;
  to.Nox = from.Nox, to.Noy = from.Noy, to.Noz = from.Noz;
  to.xmws = from.xmws, to.ymws = from.ymws, to.zmws = from.zmws;
  to.Xmin = from.Xmin, to.Xmax = from.Xmax, to.Ymin = from.Ymin, to.Ymax = from.Ymax;
  to.Zmin = from.Zmin, to.Zmax = from.Zmax;
  to.ExOut = from.ExOut, to.EyOut = from.EyOut, to.EzOut = from.EzOut;
  to.HxOut = from.HxOut, to.HyOut = from.HyOut, to.HzOut = from.HzOut;
}

namespace records {

template <class Codec, class AxisT, class Count>
void axis(Codec& c, AxisT& nodes, Count& count, int capacity) {
  c.begin_axis(count, capacity);
  for (int n = 1; n <= count; ++n) c.real(nodes(n));
  c.end();
}

// The output symmetry codes, one integer each.
template <class Codec, class Store>
void symmetry(Codec& c, Store& s) {
  c.begin(0, 3);
  c.integer(s.ksym_x);
  c.integer(s.ksym_y);
  c.integer(s.ksym_z);
  c.end();
}

// One axis's bounds and node count (format 2).
template <class Codec, class Real, class Count>
void bounds(Codec& c, Real& lower, Real& upper, Count& count, int capacity) {
  c.begin(2, 1);
  c.real(lower);
  c.real(upper);
  c.count(count, capacity);
  c.end();
}

}  // namespace records

// Formats 0 and 1: d_elm, aper, k_s_EH; the symmetry codes; the node coordinates along x,
// y and z; one record per component array, x index fastest; the end marker.
template <class Codec, class Store>
void walk_format0_1(Codec& c, Store& s) {
  c.begin(2, 1);
  c.real(s.d_elm);
  c.real(s.aper);
  c.integer(s.k_s_EH);
  c.end();
  records::symmetry(c, s);
  records::axis(c, s.xmws, s.Nox, Noxmax);
  records::axis(c, s.ymws, s.Noy, Noymax);
  records::axis(c, s.zmws, s.Noz, Nozmax);
  component_array_t<Store>* arrays[6];
  const int count = c.component_arrays(s, arrays);
  const std::size_t nodes = output_nodes(s);
  for (int a = 0; a < count; ++a) {
    c.begin(nodes, 0);
    for (int k = 1; k <= s.Noz; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) c.real((*arrays[a])(i, j, k));
      }
    }
    c.end();
  }
  c.begin(0, 1);
  c.integer(s.iend);
  c.end();
}

// Format 2: ifield; the symmetry codes; bounds and count along x, y and z; then one record
// per node, z index fastest, holding that node's components. No end marker.
template <class Codec, class Store>
void walk_format2(Codec& c, Store& s) {
  c.begin(0, 1);
  c.integer(s.ifield);
  c.end();
  records::symmetry(c, s);
  records::bounds(c, s.Xmin, s.Xmax, s.Nox, Noxmax);
  records::bounds(c, s.Ymin, s.Ymax, s.Noy, Noymax);
  records::bounds(c, s.Zmin, s.Zmax, s.Noz, Nozmax);
  component_array_t<Store>* arrays[6];
  const int count = c.component_arrays(s, arrays);
  if (count == 0) return;
  for (int i = 1; i <= s.Nox; ++i) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int k = 1; k <= s.Noz; ++k) {
        c.begin(static_cast<std::size_t>(count), 0);
        for (int a = 0; a < count; ++a) c.real((*arrays[a])(i, j, k));
        c.end();
      }
    }
  }
}

}  // namespace korvane
