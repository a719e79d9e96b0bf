// The meshes other programs read (VTK structured points, an openPMD field mesh) place node
// n at origin + n * spacing: they hold one spacing per axis.
#pragma once

#include <string>

#include "fieldfile/field_map.h"

namespace korvane::inspect {

// Throws std::runtime_error "WHERE: the x nodes are not evenly spaced (node N at X m),
// which a regular mesh cannot hold" when a node of `axis` lies further than 1e-9 of the
// axis's length from its place on the even layout; nodes that are not would come out
// misplaced without a word.
void require_even_spacing(const FieldMap& map, int axis, const std::string& where);

}  // namespace korvane::inspect
