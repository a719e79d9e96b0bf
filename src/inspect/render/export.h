// The field of a file in formats other programs read: legacy VTK structured points (ASCII)
// and CSV. Values are written with 17 significant digits, so every double is kept.
#pragma once

#include "inspect/analysis/inspected_file.h"
#include "textio/byte_sink.h"

namespace korvane::inspect {

// "# vtk DataFile Version 3.0", DATASET STRUCTURED_POINTS with the grid's dimensions,
// origin and spacing, and each set as a VECTORS field named E, H or E_or_H. Structured
// points are evenly spaced: nodes that are not are refused before anything is written
// (std::runtime_error naming the file, the axis and the node).
void write_vtk(const InspectedFile& file, ByteSink& out);

// A header line "x,y,z,Ex,Ey,Ez,..." and one line per node, x index fastest.
void write_csv(const InspectedFile& file, ByteSink& out);

}  // namespace korvane::inspect
