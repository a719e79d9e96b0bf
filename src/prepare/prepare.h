// korvane-prepare: from a solver export as saved to the two inputs of the converter, a
// headerless table and a drafted control file, with a report of what was found and chosen.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "control/control_records.h"
#include "prepare/draft_grid.h"
#include "prepare/export_scan.h"
#include "prepare/figure.h"

namespace korvane::prepare {

enum class Part { real, imaginary };

struct Options {
  std::string export_path;
  std::string dir = ".";
  std::string table = "table.txt";
  std::optional<std::string> length_unit;  // overrides the header's
  std::optional<std::string> field_unit;
  std::optional<Part> part;
  std::optional<std::array<int, 3>> symmetry;  // codes named by the user
  double tolerance = 1e-3;
  int nfile = 1;
  int format = 1;
  // The output keeps the table's symmetry planes (ksym = isym), so that korvane copies the
  // table's own nodes and the beam code mirrors them; unfold asks for the full map instead.
  bool unfold = false;
  bool force = false;
  std::array<int, 3> every = {1, 1, 1};  // the table keeps every K-th node along x, y, z
  std::optional<std::array<int, 3>> nodes;  // the output's counts, forced
  std::optional<double> max_departure;      // refuse a drafted map that departs more
};

// Above this departure of the drafted map (relative to the table's peak), a preparation
// warns unless --max-departure sets the limit.
inline constexpr double departure_warning = 0.01;

// What one axis of the table covers.
enum class Region { whole, half, offset };

// Everything decided, for the files and the report.
struct Plan {
  ExportScan scan;
  LengthUnit length;
  FieldUnit field;
  Part part = Part::real;
  std::vector<std::string> notes;     // what was chosen without being asked, and why
  std::vector<std::string> warnings;  // doubtful input that does not stop the preparation
  Region region[3] = {};
  // Per axis with a plane at 0: the largest normal and tangential component on it, and the
  // largest component anywhere (the scale of "zero"), in the export's field unit.
  double normal_on_plane[3] = {};
  double tangential_on_plane[3] = {};
  double largest = 0;
  // Per whole axis whose nodes lie symmetric about 0, what each component shows about the
  // plane at 0: "even", "odd", "zero" or "neither" (for the report only).
  std::array<std::array<std::string, 3>, 3> parity;
  ControlDraft control;
  int every[3] = {1, 1, 1};  // the table keeps every K-th node of the export's
  int table_counts[3] = {};  // the table's nodes along x, y, z
  DraftInput draft_input;    // the table as the draft sees it
  GridDraft grid;            // the output grid drafted, and whether it lies on the table's nodes
  std::optional<DepartureFigure> figure;  // the departure the map will have, once measured
  std::string table_path;    // where the table goes
  std::string control_path;  // where korvane.dat goes
};

// Reads the export and decides everything; writes nothing. Throws Refusal (status 1) when
// the export cannot be prepared (also when its nodes, after unfolding, are more than
// korvane's input grid holds: the message names the smallest --every that fits), IoError
// when it cannot be read.
Plan plan_preparation(const Options& options);

// Whether the table keeps the export's record `record` (from 0, in the export's order, a
// dropped repeat not counted): those at every K-th node of each axis, from the first.
bool table_keeps(const Plan& plan, long record);

// Writes the table and the control file of `plan`, each without a name until complete;
// measures the departure the drafted map will have (plan.figure), choosing the grid by it
// where korvane must interpolate (plan.grid and plan.control follow); then gives both files
// their names. Refuses (OverwriteError) an existing file without options.force, before
// either is written; refuses (Refusal) a map that departs more than options.max_departure,
// leaving nothing. Throws IoError when a file cannot be read or written.
void write_preparation(Plan& plan, const Options& options);

class OverwriteError : public std::runtime_error {
 public:
  explicit OverwriteError(const std::string& what) : std::runtime_error(what) {}
};

// "1st", "2nd", "11th": for the report's strides.
std::string ordinal(int n);

// The report of `plan` (report.h's value, built once), as lines of text and as one JSON
// object.
std::string report_text(const Plan& plan);
std::string report_json(const Plan& plan);

}  // namespace korvane::prepare
