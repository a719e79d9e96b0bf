// The units the tool set knows, with their factors to the converter's units and to SI, and
// the magnetic constant. The converter itself logs only the constant; korvane-prepare
// reads the table to choose fscale and cscale, and korvane-inspect to write SI values.
#pragma once

#include <optional>
#include <string_view>

namespace korvane {

// The magnetic constant 4 pi 1e-3 in Gs*m/A: a field strength in A/m times it gives gauss.
inline constexpr double magnetic_constant = 0.012566370614359173;

struct LengthUnitInfo {
  const char* name;
  double metres;  // one unit in metres: the control value cscale
};

enum class FieldKind { electric, field_strength, flux_density };  // E, H, B

struct FieldUnitInfo {
  const char* name;
  FieldKind kind;
  // The control value fscale for a table in this unit: the converter scales E by fscale and
  // 0.01 into V/cm, H and B by fscale alone into gauss.
  double fscale;
  // One unit in SI: V/m for E, tesla for B; 0 for H, which SI gives in A/m, not tesla.
  double si;
  const char* meaning;  // "fscale: kV/m to V/m", the control file's comment
};

// The units known, in the order the messages list them.
inline constexpr LengthUnitInfo length_units[] = {
    {"m", 1.0},          {"cm", 0.01},        {"mm", 0.001},
    {"um", 1e-6},        {"\xC2\xB5m", 1e-6},  // micro sign
    {"\xCE\xBCm", 1e-6},                       // Greek mu
    {"in", 0.0254},
};
inline constexpr FieldUnitInfo field_units[] = {
    {"V/m", FieldKind::electric, 1.0, 1.0, "fscale: field in V/m"},
    {"kV/m", FieldKind::electric, 1000.0, 1e3, "fscale: kV/m to V/m"},
    {"MV/m", FieldKind::electric, 1e6, 1e6, "fscale: MV/m to V/m"},
    {"V/cm", FieldKind::electric, 100.0, 100.0, "fscale: V/cm to V/m"},
    {"A/m", FieldKind::field_strength, magnetic_constant, 0.0, "fscale: mu0, A/m to gauss"},
    {"kA/m", FieldKind::field_strength, 1000.0 * magnetic_constant, 0.0,
     "fscale: 1000 mu0, kA/m to gauss"},
    {"T", FieldKind::flux_density, 10000.0, 1.0, "fscale: tesla to gauss"},
    {"mT", FieldKind::flux_density, 10.0, 1e-3, "fscale: mT to gauss"},
    {"G", FieldKind::flux_density, 1.0, 1e-4, "fscale: field in gauss"},
    {"Vs/m^2", FieldKind::flux_density, 10000.0, 1.0, "fscale: Vs/m^2 (tesla) to gauss"},
    {"Wb/m^2", FieldKind::flux_density, 10000.0, 1.0, "fscale: Wb/m^2 (tesla) to gauss"},
};

// The unit spelled exactly `name`, or nothing.
std::optional<LengthUnitInfo> find_length_unit_info(std::string_view name);
std::optional<FieldUnitInfo> find_field_unit_info(std::string_view name);

}  // namespace korvane
