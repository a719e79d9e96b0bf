// korvane-prepare's report as one value: the facts of a preparation that the report tells,
// built once from its plan. The text for a person and the JSON object for a script are two
// renderings of this value and read nothing else; each section of the report is rendered
// both ways side by side. A new fact is a member here, set in build_report and rendered in
// its section of report_render.cpp (or a new section there, which must render both ways).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "prepare/prepare.h"

namespace korvane::prepare {

// What the export holds before its records, and how its columns are read.
struct ExportFacts {
  long header_lines = 0;             // lines before the first record
  std::string header;                // the column titles as they stand ("" without)
  int columns = 0;                   // values a record holds
  std::string layout;                // how the columns are laid out (describe_layout)
  std::vector<std::string> ignored;  // titles of the columns not used
};

// The field written.
struct FieldFacts {
  FieldKind kind = FieldKind::electric;
  std::string unit;  // the export's field unit
  Part part = Part::real;
  double largest = 0;  // largest component of that part anywhere, in `unit`
};

// The largest normal and tangential component on a plane the table starts at, in the
// export's field unit.
struct PlaneFacts {
  double normal = 0, tangential = 0;
};

// One axis of the export's mesh.
struct MeshAxisFacts {
  AxisMesh mesh;  // nodes, bounds and step in the export's length unit
  Region region = Region::whole;
  int code = 0;                     // the symmetry code drafted for the plane at 0 (isym)
  std::optional<PlaneFacts> plane;  // a half: the field on its plane
  // A whole axis whose nodes lie symmetric about 0: "even", "odd", "zero" or "neither" for
  // each component about the plane at 0.
  std::optional<std::array<std::string, 3>> parity;
};

// The export's records and the mesh they lie on.
struct MeshFacts {
  long records = 0;
  int order[3] = {0, 1, 2};  // axes from the fastest to the slowest
  std::string length_unit;
  MeshAxisFacts axis[3];
  long repeat_line = 0;  // line of the exact repeat of the last record, dropped (0: none)
};

// How the output's nodes along one axis lie on the table's.
struct GridAxisFacts {
  AxisDraft draft;        // the output's nodes and, when they are the table's own, which
  int code = 0;           // the table's symmetry code at the plane 0 of the axis (isym)
  bool unfolded = false;  // korvane unfolds the axis (--unfold): its table nodes count after
                          // unfolding; else a plane with a code is kept, the beam code
                          // mirroring the map
};

// The output grid and how korvane transfers the field onto it.
struct GridFacts {
  bool direct = false;     // korvane copies the field node for node
  bool own_nodes = false;  // every axis lies on the table's own nodes
  GridAxisFacts axis[3];
  std::optional<std::string> measure;  // the command that measures an interpolation's cost
};

// What the table keeps of the export.
struct TableFacts {
  int every[3] = {1, 1, 1};  // every K-th node along x, y, z
  int nodes[3] = {};         // the table's nodes along x, y, z
};

struct Report {
  ExportFacts exported;
  FieldFacts field;
  MeshFacts mesh;
  ControlDraft control;
  GridFacts grid;
  std::optional<DepartureFigure> departure;  // the departure the map will have, once measured
  TableFacts table;
  std::vector<std::string> notes;     // what was chosen without being asked, and why
  std::vector<std::string> warnings;  // doubtful input that did not stop the preparation
  std::string table_path, control_path;
};

// The report of `plan`. Does not throw but for a lack of memory.
Report build_report(const Plan& plan);

// The report as lines of text, each with its label ("export:", "grid:", "note:" ...).
std::string render_text(const Report& report);

// The report as one JSON object, indented by two, with a line end after it. Bytes of names
// and headers that are not UTF-8 are replaced.
std::string render_json(const Report& report);

}  // namespace korvane::prepare
