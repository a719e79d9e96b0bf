#include "inspect/render/export.h"

#include <string>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/render/regular_mesh.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

void put(ByteSink& out, double value) { out.write(exact_number(value)); }

}  // namespace

void write_vtk(const InspectedFile& file, const UnfoldedMap& mesh, ByteSink& out) {
  const FieldMap& s = file.map;
  for (int a = 0; a < 3; ++a) require_even_spacing(s, a, "file '" + printable(file.name) + "'");
  const std::vector<FieldSet> sets = field_sets(s);
  // The title line is at most 256 characters and one line.
  const std::string planes = mesh.planes();
  std::string title = "korvane field map " + printable(file.name) + ", format " +
                      std::to_string(s.format) + ", field " + describe(s.sets) +
                      (planes.empty() ? "" : ", unfolded over " + planes);
  if (title.size() > 255) title.resize(255);
  out.write("# vtk DataFile Version 3.0\n" + title + "\nASCII\nDATASET STRUCTURED_POINTS\n");
  out.write("DIMENSIONS " + std::to_string(mesh.count(0)) + " " + std::to_string(mesh.count(1)) +
            " " + std::to_string(mesh.count(2)) + "\nORIGIN ");
  for (int a = 0; a < 3; ++a) {
    put(out, mesh.node(a, 1));
    out.write(a < 2 ? " " : "\nSPACING");
  }
  for (int a = 0; a < 3; ++a) {
    // A single node along an axis still needs a positive spacing.
    const double d = s.step(a);
    out.write(" ");
    put(out, d > 0.0 ? d : 1.0);
  }
  const long nodes = static_cast<long>(mesh.count(0)) * mesh.count(1) * mesh.count(2);
  out.write("\nPOINT_DATA " + std::to_string(nodes) + "\n");
  for (const FieldSet& set : sets) {
    out.write("VECTORS " + std::string(set.letter == "F" ? "E_or_H" : set.letter) + " double\n");
    for (int k = 1; k <= mesh.count(2); ++k) {
      for (int j = 1; j <= mesh.count(1); ++j) {
        for (int i = 1; i <= mesh.count(0); ++i) {
          for (int c = 0; c < 3; ++c) {
            put(out, mesh.value(*set.c[c], c, i, j, k));
            out.write(c < 2 ? " " : "\n");
          }
        }
      }
    }
  }
}

void write_csv(const UnfoldedMap& mesh, ByteSink& out) {
  const std::vector<FieldSet> sets = field_sets(mesh.map());
  out.write("x,y,z");
  for (const FieldSet& set : sets) {
    for (int c = 0; c < 3; ++c) {
      out.write(",");
      out.write(set.component(c));
    }
  }
  out.write("\n");
  for (int k = 1; k <= mesh.count(2); ++k) {
    for (int j = 1; j <= mesh.count(1); ++j) {
      for (int i = 1; i <= mesh.count(0); ++i) {
        put(out, mesh.node(0, i));
        out.write(",");
        put(out, mesh.node(1, j));
        out.write(",");
        put(out, mesh.node(2, k));
        for (const FieldSet& set : sets) {
          for (int c = 0; c < 3; ++c) {
            out.write(",");
            put(out, mesh.value(*set.c[c], c, i, j, k));
          }
        }
        out.write("\n");
      }
    }
  }
}

}  // namespace korvane::inspect
