// Pictures of a field file as SVG documents: standalone files for a browser (--svg), or
// elements of korvane-inspect's page (--report). Each shows the map as the beam code reads
// it, unfolded over the planes the file keeps (unfolded_map.h).
#pragma once

#include <string>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/analysis/inspected_file.h"
#include "inspect/render/svg_document.h"

namespace korvane::inspect {

// Line plot of the three components of a set along z at the node nearest x = y = 0, with
// labelled axes (z in m) and a legend.
std::string axis_plot_svg(const InspectedFile& file, const FieldSet& set,
                          Placement placement = Placement::standalone);

// Line plot of the transverse derivatives dFy/dx and dFx/dy on the axis x = y = 0 along z,
// one value per z node of the unfolded map (the on-axis profile's).
std::string axis_gradient_svg(const InspectedFile& file, const FieldSet& set,
                              const std::vector<double>& dfy_dx, const std::vector<double>& dfx_dy,
                              Placement placement = Placement::standalone);

// Colour maps of each component of a set on the x-z plane through the node nearest y = 0
// (top row), the y-z plane through the node nearest x = 0 (second row) and the x-y plane
// through each node of `z_planes` (nodes of the unfolded map, one row each). Each map has
// a colour scale symmetric about zero, from blue (negative) through white to red. A
// standalone picture draws each cell as a rectangle, one in a page as one PNG image per
// map.
std::string plane_maps_svg(const InspectedFile& file, const FieldSet& set,
                           const std::vector<int>& z_planes = {},
                           Placement placement = Placement::standalone);

}  // namespace korvane::inspect
