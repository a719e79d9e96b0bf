#include "inspect/render/export.h"

#include <string>
#include <vector>

#include "fieldfile/field_records.h"
#include "inspect/analysis/field_set.h"
#include "inspect/render/regular_mesh.h"
#include "textio/errors.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

void put(ByteSink& out, double value) { out.write(exact_number(value)); }

}  // namespace

void write_vtk(const InspectedFile& file, ByteSink& out) {
  const FieldMap& s = file.map;
  for (int a = 0; a < 3; ++a) require_even_spacing(s, a, "file '" + printable(file.name) + "'");
  const std::vector<FieldSet> sets = field_sets(s);
  // The title line is at most 256 characters and one line.
  std::string title = "korvane field map " + printable(file.name) + ", format " +
                      std::to_string(s.format) + ", field " + describe(s.sets);
  if (title.size() > 255) title.resize(255);
  out.write("# vtk DataFile Version 3.0\n" + title + "\nASCII\nDATASET STRUCTURED_POINTS\n");
  out.write("DIMENSIONS " + std::to_string(s.Nox) + " " + std::to_string(s.Noy) + " " +
            std::to_string(s.Noz) + "\nORIGIN ");
  put(out, s.xmws(1));
  out.write(" ");
  put(out, s.ymws(1));
  out.write(" ");
  put(out, s.zmws(1));
  out.write("\nSPACING");
  for (int a = 0; a < 3; ++a) {
    // A single node along an axis still needs a positive spacing.
    const double d = s.step(a);
    out.write(" ");
    put(out, d > 0.0 ? d : 1.0);
  }
  out.write("\nPOINT_DATA " + std::to_string(output_nodes(s)) + "\n");
  for (const FieldSet& set : sets) {
    out.write("VECTORS " + std::string(set.letter == "F" ? "E_or_H" : set.letter) + " double\n");
    for (int k = 1; k <= s.Noz; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) {
          for (int c = 0; c < 3; ++c) {
            put(out, (*set.c[c])(i, j, k));
            out.write(c < 2 ? " " : "\n");
          }
        }
      }
    }
  }
}

void write_csv(const InspectedFile& file, ByteSink& out) {
  const FieldMap& s = file.map;
  const std::vector<FieldSet> sets = field_sets(s);
  out.write("x,y,z");
  for (const FieldSet& set : sets) {
    for (int c = 0; c < 3; ++c) {
      out.write(",");
      out.write(set.component(c));
    }
  }
  out.write("\n");
  for (int k = 1; k <= s.Noz; ++k) {
    for (int j = 1; j <= s.Noy; ++j) {
      for (int i = 1; i <= s.Nox; ++i) {
        put(out, s.xmws(i));
        out.write(",");
        put(out, s.ymws(j));
        out.write(",");
        put(out, s.zmws(k));
        for (const FieldSet& set : sets) {
          for (int c = 0; c < 3; ++c) {
            out.write(",");
            put(out, (*set.c[c])(i, j, k));
          }
        }
        out.write("\n");
      }
    }
  }
}

}  // namespace korvane::inspect
