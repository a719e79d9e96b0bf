// Pictures of a field file as standalone SVG documents, for a browser.
#pragma once

#include <string>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/analysis/inspected_file.h"

namespace korvane::inspect {

// Line plot of the three components of a set along z at the node nearest x = y = 0, with
// labelled axes (z in m) and a legend.
std::string axis_plot_svg(const InspectedFile& file, const FieldSet& set);

// Line plot of the transverse derivatives dFy/dx and dFx/dy on the axis x = y = 0 along z,
// one value per z node (from the on-axis profile).
std::string axis_gradient_svg(const InspectedFile& file, const FieldSet& set,
                              const std::vector<double>& dfy_dx, const std::vector<double>& dfx_dy);

// Colour maps of each component of a set on the x-z plane through the node nearest y = 0
// (top row) and the y-z plane through the node nearest x = 0 (bottom row). Each map has a
// colour scale symmetric about zero, from blue (negative) through white to red.
std::string plane_maps_svg(const InspectedFile& file, const FieldSet& set);

}  // namespace korvane::inspect
