#include "store/units.h"

namespace korvane {

std::optional<LengthUnitInfo> find_length_unit_info(std::string_view name) {
  for (const LengthUnitInfo& unit : length_units) {
    if (name == unit.name) return unit;
  }
  return std::nullopt;
}

std::optional<FieldUnitInfo> find_field_unit_info(std::string_view name) {
  for (const FieldUnitInfo& unit : field_units) {
    if (name == unit.name) return unit;
  }
  return std::nullopt;
}

}  // namespace korvane
