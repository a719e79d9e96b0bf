// Colour maps: values on a plane of nodes, each node drawn as a cell one step wide, with the
// plane's axes in metres and a colour bar labelled with its values. The cells are SVG
// rectangles in a standalone picture (--svg), and one embedded PNG image per map in the
// page (--report), where tens of thousands of rectangles would make the page slow.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/analysis/unfolded_map.h"
#include "inspect/render/svg_document.h"

namespace korvane::inspect {

// Values on a plane: `across` runs along the width, `up` along the height.
struct PlaneValues {
  std::string title;                 // above the map
  int across_axis = 2, up_axis = 0;  // 0 x, 1 y, 2 z: the axes' labels
  std::vector<double> across, up;    // node coordinates in m, increasing
  std::vector<double> values;        // across.size() x up.size(), across fastest, up upwards
  std::vector<bool> blank;           // empty, or true where a cell holds nothing: not drawn
  // A scale from 0 (white) to the largest value (dark red) for a magnitude; otherwise one
  // symmetric about 0, from blue (-max) through white to red (+max).
  bool magnitude = false;
  double at(std::size_t a, std::size_t u) const { return values[u * across.size() + a]; }
  bool is_blank(std::size_t a, std::size_t u) const {
    return !blank.empty() && blank[u * across.size() + a];
  }
};

enum class Cells { vectors, raster };

// The box a colour map takes, title, axes and colour bar included, in SVG user units.
inline constexpr double plane_box_width = 394, plane_box_height = 280;

// The plane of `map` normal to `normal` (0 x, 1 y, 2 z) through its node `node`, for
// component `component` of `set`: x-z (z across, x up), y-z (z across, y up) or x-y (x
// across, y up). The title names the component, the plane and where it lies.
PlaneValues map_plane(const UnfoldedMap& map, const FieldSet& set, int component, int normal,
                      int node);

// The node of `axis` nearest to coordinate 0 (the first of two at the same distance).
int node_nearest_zero(const UnfoldedMap& map, int axis);

// The <defs> of the colour bars drawn as vectors, once in a document.
void colour_bar_defs(Svg& svg);

// Draws `plane` in the box whose top left corner is (x, y): its title, its cells, its
// frame and axes in m, and its colour bar with the values at its ends and middle. A value
// that is not a number is grey.
void draw_plane(Svg& svg, const PlaneValues& plane, double x, double y, Cells cells);

}  // namespace korvane::inspect
