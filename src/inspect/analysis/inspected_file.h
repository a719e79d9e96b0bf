// A field file as korvane-inspect holds it: the name its reports and titles show, and the
// map read from it.
#pragma once

#include <string>

#include "fieldfile/field_map.h"

namespace korvane::inspect {

struct InspectedFile {
  std::string name;
  const FieldMap& map;
};

}  // namespace korvane::inspect
