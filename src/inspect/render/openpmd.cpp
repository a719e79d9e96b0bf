#include "inspect/render/openpmd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "inspect/analysis/field_set.h"
#include "inspect/analysis/unfolded_map.h"
#include "inspect/render/openpmd_file.h"
#include "inspect/render/regular_mesh.h"
#include "textio/errors.h"
#include "store/units.h"
#include "textio/format.h"
#include "util/replacing_file.h"

namespace korvane::inspect {
namespace {

// The units a set may be taken in, as the options list them; their values in SI (V/m or T)
// come from the tool set's table of units.
using Unit = FieldUnitInfo;
constexpr const char* electric_units[] = {"V/m", "V/cm", "kV/m", "MV/m"};
constexpr const char* magnetic_units[] = {"T", "mT", "G"};
// What the converter's scaling produces (field_set.h).
constexpr const char* default_electric_unit = converter_electric_unit;
constexpr const char* default_magnetic_unit = converter_magnetic_unit;

// Powers of length, mass, time, current, temperature, amount and luminous intensity.
constexpr std::array<double, 7> electric_dimension{1, 1, -3, -1, 0, 0, 0};  // V/m
constexpr std::array<double, 7> magnetic_dimension{0, 1, -2, -1, 0, 0, 0};  // T

template <std::size_t N>
const Unit* find_unit(const char* const (&units)[N], const std::string& name) {
  for (const char* known : units) {
    if (name != known) continue;
    for (const Unit& u : field_units) {
      if (name == u.name) return &u;
    }
  }
  return nullptr;
}

template <std::size_t N>
std::string unit_names(const char* const (&units)[N]) {
  std::string names;
  for (std::size_t n = 0; n < N; ++n) {
    names += n == 0 ? "" : n + 1 == N ? " or " : ", ";
    names += units[n];
  }
  return names;
}

bool all_zero(const FieldMap& s, const FieldSet& set) {
  for (const OutputField* c : set.c) {
    for (int k = 1; k <= s.Noz; ++k) {
      for (int j = 1; j <= s.Noy; ++j) {
        for (int i = 1; i <= s.Nox; ++i) {
          if ((*c)(i, j, k) != 0.0) return false;
        }
      }
    }
  }
  return true;
}

// The values of one component on the unfolded mesh in SI, x fastest.
std::vector<double> mesh_values(const UnfoldedMap& mesh, const OutputField& c, int component,
                                double scale) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(mesh.count(0)) * mesh.count(1) * mesh.count(2));
  for (int k = 1; k <= mesh.count(2); ++k) {
    for (int j = 1; j <= mesh.count(1); ++j) {
      for (int i = 1; i <= mesh.count(0); ++i) {
        values.push_back(scale * mesh.value(c, component, i, j, k));
      }
    }
  }
  return values;
}

// Writes under "OUT.partial-XXXXXX" beside the output and renames it over the output only
// when the library has closed the file, then flushes the folder, so a failure leaves the
// old file or none. The temporary is named from the start, unlike the tool's other
// outputs: the HDF5 library takes a file name and opens it itself, and a file without a
// name has none to give it. A process killed while the library writes leaves it behind.
void write_in_place_of(const FieldMesh& mesh, const std::string& output) {
  ReplacingFile file(output);
  if (const int error = file.create_named()) {
    throw std::runtime_error("cannot create '" + printable(output) + "': " + std::strerror(error));
  }
  // The library opens the temporary by its name.
  if (const int error = file.close()) {
    throw std::runtime_error("cannot create '" + printable(output) + "': " + std::strerror(error));
  }
#if KORVANE_HDF5
  write_field_mesh(mesh, file.temporary(), output);
#else
  (void)mesh;
  throw std::runtime_error("cannot write '" + printable(output) + "': built without HDF5");
#endif
  if (const int error = file.commit()) {
    if (file.folder_unsynced()) {
      throw std::runtime_error("wrote '" + printable(output) + "', but its folder '" +
                               printable(file.folder()) +
                               "' cannot be flushed to the disk: " + std::strerror(error));
    }
    throw std::runtime_error("cannot replace '" + printable(output) + "': " + std::strerror(error));
  }
}

// The records written and what the report says of each set: its unit, or why it is left out.
struct MeshRecords {
  std::string units;   // "E in V/cm, H as the flux density B in G", for the mesh's comment
  std::string report;  // a line per set
};

// The unit a set is taken in: the one the user named, else the converter's. Throws where a
// file of both sets, whose values are the table's, leaves it unknown.
const Unit& set_unit(const InspectedFile& file, const std::string& where, const OpenPmdOptions& o,
                     const FieldSet& set) {
  const bool electric = set.letter == "E";
  const std::string& given = electric ? o.e_unit : o.b_unit;
  // Only ifield 2 writes both sets, and it leaves the table's values unscaled.
  if (given.empty() && file.map.sets == FieldSets::both) {
    throw std::runtime_error(
        where + " holds both field sets (ifield 2), whose values are the table's, unscaled: " +
        "--openpmd needs the unit of its " + set.letter + ", " +
        (electric ? "--e-unit " + unit_names(electric_units)
                  : "--b-unit " + unit_names(magnetic_units)));
  }
  return *(electric ? find_unit(electric_units, given.empty() ? default_electric_unit : given)
                    : find_unit(magnetic_units, given.empty() ? default_magnetic_unit : given));
}

// A record of three components in SI for each set of the file that is not zero everywhere.
MeshRecords add_records(const InspectedFile& file, const std::string& where,
                        const OpenPmdOptions& o, const UnfoldedMap& unfolded, FieldMesh& mesh) {
  MeshRecords records;
  for (const FieldSet& set : field_sets(file.map)) {
    const bool electric = set.letter == "E";
    const std::string record = electric ? "electricField" : "magneticField";
    if (all_zero(file.map, set)) {
      records.report += "  " + record + "  not written: " + set.letter + " is zero at every node\n";
      continue;
    }
    const Unit& unit = set_unit(file, where, o, set);
    const bool given = !(electric ? o.e_unit : o.b_unit).empty();
    const std::string taken = electric ? std::string("E in ") + unit.name
                                       : std::string("H as the flux density B in ") + unit.name;
    records.units += (records.units.empty() ? "" : ", ") + taken;
    records.report += "  " + record + "  the file's " + taken +
                      (given ? "" : ", the converter's unit") + ", written in " +
                      (electric ? "V/m" : "T") + " (x " + general_number(unit.si, 7) +
                      ", unitSI 1)\n";
    // The values go out in SI with unitSI 1. openPMD readers multiply by unitSI, but Bmad
    // divides by it: only unitSI 1 gives both the same field.
    for (int c = 0; c < 3; ++c) {
      mesh.components.push_back(MeshComponent{record, axis_names[c], 1.0,
                                              electric ? electric_dimension : magnetic_dimension,
                                              mesh_values(unfolded, *set.c[c], c, unit.si)});
    }
  }
  if (mesh.components.empty()) {
    throw std::runtime_error(where + " holds no non-zero field component: nothing to write to '" +
                             printable(o.output) + "'");
  }
  return records;
}

// The mesh's size, spacing, origin (from the anchor), its timing, its name and its comment,
// which names the `units` taken and the planes unfolded.
void lay_out_mesh(const InspectedFile& file, const OpenPmdOptions& o, const UnfoldedMap& unfolded,
                  const std::string& units, FieldMesh& mesh) {
  const FieldMap& s = file.map;
  for (int a = 0; a < 3; ++a) {
    mesh.size[a] = unfolded.count(a);
    mesh.spacing[a] = s.step(a);
    mesh.origin[a] = unfolded.node(a, 1);
  }
  // The file's z = 0 is the element's centre; the mesh's origin is taken from the anchor.
  const double d_elm = s.has_lengths ? s.d_elm : 2.0 * s.Zmax;
  if (o.anchor == Anchor::beginning) mesh.origin[2] += d_elm / 2.0;
  if (o.anchor == Anchor::end) mesh.origin[2] -= d_elm / 2.0;
  mesh.anchor = o.anchor == Anchor::beginning ? "beginning"
                : o.anchor == Anchor::end     ? "end"
                                              : "center";
  mesh.complex_values = o.complex_values;
  mesh.harmonic = o.frequency > 0.0 ? 1 : 0;
  mesh.fundamental_frequency = o.frequency;
  const std::string base = std::filesystem::path(file.name).filename().string();
  mesh.name = o.name.empty() ? base : o.name;
  const std::string planes = unfolded.planes();
  mesh.comment = "korvane field file " + base + " (format " + std::to_string(s.format) +
                 "): " + units + ", written in SI (V/m, T); coordinates in m" +
                 (planes.empty() ? "" : "; unfolded over the planes " + planes);
}

}  // namespace

#if KORVANE_HDF5
bool openpmd_built() { return true; }
#else
bool openpmd_built() { return false; }
#endif

const char* const openpmd_usage =
#if !KORVANE_HDF5
    "  (not available: this korvane-inspect was built without HDF5)\n"
#endif
    "  --openpmd OUT.h5  write the map as an openPMD BeamPhysics field mesh in HDF5, unfolded\n"
    "                  over the symmetry planes the file declares; a format 0 or 1 file of\n"
    "                  three components needs --field\n"
    "  --anchor beginning|center|end  the element point the mesh's z refers to (center)\n"
    "  --frequency HZ  an RF field: harmonic 1 at HZ, the map being the field at phase 0\n"
    "                  (default: a static field)\n"
    "  --name TEXT     the mesh's name (default: the field file's name)\n"
    "  --e-unit U      the unit of the file's E: V/m, V/cm, kV/m or MV/m (default V/cm;\n"
    "                  required for a file of both sets, whose values are unscaled)\n"
    "  --b-unit U      the unit of the file's H, taken as the flux density B: T, mT or G\n"
    "                  (default G)\n"
    "  --value-type double|complex  each value as a double (default) or as a complex\n"
    "                  number with imaginary part 0, the form Bmad reads\n";

void set_openpmd_option(const std::string& option, const std::string& value, OpenPmdOptions& o) {
  if (!openpmd_built()) {
    throw std::invalid_argument(option +
                                ": this korvane-inspect was built without HDF5 and "
                                "cannot write openPMD files");
  }
  const std::string shown = printable(value);
  if (option == "--openpmd") {
    if (value.empty()) throw std::invalid_argument("--openpmd needs a file name");
    o.output = value;
  } else if (option == "--anchor") {
    if (value == "beginning")
      o.anchor = Anchor::beginning;
    else if (value == "center")
      o.anchor = Anchor::center;
    else if (value == "end")
      o.anchor = Anchor::end;
    else
      throw std::invalid_argument("--anchor takes beginning, center or end, not '" + shown + "'");
  } else if (option == "--frequency") {
    double f = 0.0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, f);
    if (error != std::errc() || stop != end || !std::isfinite(f) || f <= 0.0) {
      throw std::invalid_argument("--frequency takes a frequency in Hz above 0, not '" + shown +
                                  "'");
    }
    o.frequency = f;
  } else if (option == "--name") {
    o.name = value;
  } else if (option == "--e-unit") {
    if (find_unit(electric_units, value) == nullptr) {
      throw std::invalid_argument("--e-unit takes " + unit_names(electric_units) + ", not '" +
                                  shown + "'");
    }
    o.e_unit = value;
  } else if (option == "--b-unit") {
    if (find_unit(magnetic_units, value) == nullptr) {
      throw std::invalid_argument("--b-unit takes " + unit_names(magnetic_units) + ", not '" +
                                  shown + "'");
    }
    o.b_unit = value;
  } else if (option == "--value-type") {
    if (value != "double" && value != "complex") {
      throw std::invalid_argument("--value-type takes double or complex, not '" + shown + "'");
    }
    o.complex_values = value == "complex";
  }
  if (option != "--openpmd" && o.first_setting.empty()) o.first_setting = option;
}

std::string write_openpmd(const InspectedFile& file, const OpenPmdOptions& o) {
  const std::string where = "file '" + printable(file.name) + "'";
  if (file.map.sets == FieldSets::electric_or_magnetic) {
    throw std::runtime_error(where +
                             " holds three component records that do not say whether they are "
                             "the electric or the magnetic field: --openpmd needs --field E or "
                             "--field H");
  }
  for (int a = 0; a < 3; ++a) require_even_spacing(file.map, a, where);
  const UnfoldedMap unfolded(file.map);
  FieldMesh mesh;
  const MeshRecords records = add_records(file, where, o, unfolded, mesh);
  lay_out_mesh(file, o, unfolded, records.units, mesh);
  const std::string planes = unfolded.planes();

  write_in_place_of(mesh, o.output);
  return "wrote " + o.output + ": openPMD field mesh, " + std::to_string(mesh.size[0]) + " x " +
         std::to_string(mesh.size[1]) + " x " + std::to_string(mesh.size[2]) +
         " nodes, stored (z, y, x)" + (o.complex_values ? ", complex values" : "") + "\n" +
         records.report +
         (planes.empty() ? "" : "  unfolded       " + planes + ": the mesh covers both sides\n");
}

}  // namespace korvane::inspect
