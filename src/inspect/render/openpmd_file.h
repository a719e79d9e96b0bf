// The HDF5 side of korvane-inspect --openpmd: one openPMD field mesh, as openpmd.cpp has
// laid it out, written to a file with the HDF5 C library. Built only when HDF5 is found.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace korvane::inspect {

// One component dataset, e.g. "electricField/x".
struct MeshComponent {
  std::string record;  // "electricField" or "magneticField"
  std::string axis;    // "x", "y" or "z"
  double unit_si = 1.0;
  // length, mass, time, current, temperature, amount of substance, luminous intensity
  std::array<double, 7> unit_dimension{};
  std::vector<double> values;  // size[2] x size[1] x size[0], x index fastest
};

struct FieldMesh {
  std::array<int, 3> size{};                  // nodes along x, y, z
  std::array<double, 3> spacing{}, origin{};  // m, x y z order; origin = the first node
  std::string anchor;                         // "beginning", "center" or "end"
  int harmonic = 0;                           // 0 static, 1 with fundamental_frequency in Hz
  double fundamental_frequency = 0.0;
  std::string name;
  std::string comment;  // the units taken and where the map comes from
  // Each value as a complex number with imaginary part 0 (an HDF5 compound of doubles "r"
  // and "i"): Bmad reads field components only in that form, h5py reads it as complex.
  bool complex_values = false;
  std::vector<MeshComponent> components;
};

// The root's externalFieldPath and the one mesh it names. "%T" stands for each subgroup of
// /ExternalFieldPath/ (here the one named 1): the form FieldMesh writes and reads, and the
// one Bmad's reader accepts; it takes a path without "%T" for a failed read.
inline constexpr const char* external_field_path = "/ExternalFieldPath/%T/";
inline constexpr const char* field_parent = "/ExternalFieldPath";
inline constexpr const char* field_group = "/ExternalFieldPath/1";

// Writes `mesh` to a new file `file_name` (which must not be the final name: the caller
// renames it). Strings are fixed-length, null-terminated ASCII; datasets are 3D doubles of
// dimensions (z, y, x), labelled so by the group's axisLabels alone; doubles, or compounds of two
// doubles with `complex_values`. Every identifier is closed and its close checked before it
// returns, so the file is then whole and closed and the caller may rename it. Throws
// std::runtime_error naming `shown_name` and the failing step.
void write_field_mesh(const FieldMesh& mesh, const std::string& file_name,
                      const std::string& shown_name);

}  // namespace korvane::inspect
