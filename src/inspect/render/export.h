// The field of a file in formats other programs read: legacy VTK structured points (ASCII)
// and CSV. Both hold the map as the beam code reads it, unfolded over the planes the file
// keeps (unfolded_map.h). Values are written with 17 significant digits, so every double
// is kept.
#pragma once

#include "inspect/analysis/inspected_file.h"
#include "inspect/analysis/unfolded_map.h"
#include "textio/byte_sink.h"

namespace korvane::inspect {

// "# vtk DataFile Version 3.0", a title naming the file and the planes unfolded, DATASET
// STRUCTURED_POINTS with the dimensions, origin and spacing of `mesh` (the file's map
// unfolded), and each set as a VECTORS field named E, H or E_or_H. Structured points are
// evenly spaced: a file whose nodes are not is refused before anything is written
// (std::runtime_error naming the file, the axis and the node).
void write_vtk(const InspectedFile& file, const UnfoldedMap& mesh, ByteSink& out);

// A header line "x,y,z,Ex,Ey,Ez,..." and one line per node of `mesh`, x index fastest.
void write_csv(const UnfoldedMap& mesh, ByteSink& out);

}  // namespace korvane::inspect
