// The grid types and limits every room shares: the capacities, the fixed-size arrays the
// field lives in, the one node layout of an axis, and the axis names. Knows nothing of the
// store, so that the field file's readers, korvane-prepare and korvane-inspect can use it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvane {

inline constexpr int Nixmax = 50;   // input nodes along x (both input grids)
inline constexpr int Niymax = 50;
inline constexpr int Nizmax = 402;
inline constexpr int Noxmax = 25;   // output nodes along x: the largest PELIX grid
inline constexpr int Noymax = 25;
inline constexpr int Nozmax = 201;

// A 3D array of doubles with fixed capacity, addressed (i, j, k) from 1, i fastest.
template <int NX, int NY, int NZ>
struct Grid3 {
  static constexpr int nx = NX;
  static constexpr int ny = NY;
  static constexpr int nz = NZ;
  std::array<double, static_cast<std::size_t>(NX) * NY * NZ> values;

  static constexpr std::size_t offset(int i, int j, int k) {
    return static_cast<std::size_t>(i - 1) +
           static_cast<std::size_t>(NX) *
               (static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(NY) * (k - 1));
  }
  double& operator()(int i, int j, int k) { return values[offset(i, j, k)]; }
  double operator()(int i, int j, int k) const { return values[offset(i, j, k)]; }
};

using InputField = Grid3<Nixmax, Niymax, Nizmax>;
using OutputField = Grid3<Noxmax, Noymax, Nozmax>;

// A 1D array addressed from 1.
template <int N>
struct Axis {
  std::array<double, N> values;
  double& operator()(int n) { return values[static_cast<std::size_t>(n - 1)]; }
  double operator()(int n) const { return values[static_cast<std::size_t>(n - 1)]; }
};

// The step between the nodes of an axis of `count` nodes from `lower` to `upper`: the
// quotient (upper - lower) / (count - 1), the count converted to double first. For a single
// node it is not a number or infinite; a layout then takes no step (lay_out_axis).
constexpr double node_step(double lower, double upper, std::int32_t count) {
  return (upper - lower) / static_cast<double>(count - 1);
}

// The one node layout of every axis, input or output, written or read back: node n at
// (n - 1) * step + lower with the node step (0 for a single node). Fills nodes 1..count;
// returns the step.
template <int N>
double lay_out_axis(Axis<N>& nodes, double lower, double upper, std::int32_t count) {
  const double step = count > 1 ? node_step(lower, upper, count) : 0.0;
  for (int n = 1; n <= count; ++n) nodes(n) = static_cast<double>(n - 1) * step + lower;
  return step;
}

// The length of the text records the converter keeps: a file name, and the first record of
// the table that the probe reads (a longer table line is cut there).
inline constexpr int name_length = 132;

// The axes' names in messages and labels, by axis (0 x, 1 y, 2 z).
inline constexpr const char* axis_names[3] = {"x", "y", "z"};

// A record lies on the regular mesh when each coordinate is within this fraction of a step
// of its node; a table whose spacing wanders further is irregular.
inline constexpr double irregular_step_fraction = 0.01;

}  // namespace korvane
