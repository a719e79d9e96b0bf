#include "prepare/prepare.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "fieldfile/field_file.h"
#include "store/grid.h"
#include "textio/errors.h"

namespace korvane::prepare {
namespace fs = std::filesystem;
namespace {

constexpr int input_capacity[3] = {Nixmax, Niymax, Nizmax};

[[noreturn]] void refuse(const std::string& what) { throw Refusal(what); }

LengthUnit length_unit(const Options& o, const ExportScan& scan) {
  const std::string name = o.length_unit.value_or(scan.layout.length_unit);
  std::optional<LengthUnit> unit = find_length_unit(name);
  if (!unit) {
    refuse("the coordinates' unit " + quoted_token(name) +
           " is not one of m, cm, mm, um, in; name it with --length-unit");
  }
  return *unit;
}

FieldUnit field_unit(const Options& o, const ExportScan& scan) {
  const std::string name = o.field_unit.value_or(scan.layout.field_unit);
  std::optional<FieldUnit> unit = find_field_unit(name);
  if (!unit) {
    refuse("the field's unit " + quoted_token(name) +
           " is not one of V/m, kV/m, MV/m, V/cm, A/m, kA/m, T, mT, G, Vs/m^2, Wb/m^2;"
           " name it with --field-unit");
  }
  if (scan.layout.kind && *scan.layout.kind != unit->kind) {
    refuse(std::string("the header names the field ") + field_letter(*scan.layout.kind) +
           ", but its unit " + quoted_token(name) + " is the unit of " + field_letter(unit->kind));
  }
  return *unit;
}

double largest_of(const double values[3]) { return std::max({values[0], values[1], values[2]}); }

// The part of the field to write: the one asked for, else the one that is not zero.
Part choose_part(const Options& o, Plan& plan) {
  const ExportScan& scan = plan.scan;
  const bool has_imaginary = scan.layout.has_imaginary();
  if (o.part) {
    if (*o.part == Part::imaginary && !has_imaginary) {
      refuse("--part im: the export holds no imaginary parts");
    }
    return *o.part;
  }
  if (!has_imaginary) return Part::real;
  const double re = largest_of(scan.largest[real_part]);
  const double im = largest_of(scan.largest[imaginary_part]);
  const double zero_re = re <= o.tolerance * im, zero_im = im <= o.tolerance * re;
  if (zero_re && !zero_im) {
    plan.notes.push_back("the real parts are zero everywhere (largest " + figure(re) +
                         ", imaginary " + figure(im) + "): the imaginary parts are written");
    return Part::imaginary;
  }
  if (!zero_re && !zero_im) {
    plan.notes.push_back("both parts hold a field (largest real " + figure(re) + ", imaginary " +
                         figure(im) + "): the real parts are written; --part im gives the other");
  }
  return Part::real;
}

// Where the table lies along each axis, and the codes of the planes it starts at.
void choose_symmetry(const Options& o, Plan& plan, std::int32_t codes[3]) {
  const ExportScan& scan = plan.scan;
  const int part = plan.part == Part::real ? real_part : imaginary_part;
  plan.largest = largest_of(scan.largest[part]);
  const double zero = o.tolerance * plan.largest;
  for (int a = 0; a < 3; ++a) {
    const AxisMesh& m = scan.axis[a];
    const double near = irregular_step_fraction * m.step;
    const std::string range =
        std::string(axis_names[a]) + " from " + figure(m.lo) + " to " + figure(m.hi);
    if (std::abs(m.lo) <= near) {
      plan.region[a] = Region::half;
    } else if (m.lo < 0 && m.hi > near) {
      plan.region[a] = Region::whole;
    } else if (a == 2) {
      plan.region[a] = Region::offset;
    } else {
      refuse("the table covers " + range + ": the beam axis " + axis_names[a] +
             " = 0 must lie in the table or on its edge, with the table on the side from 0 up");
    }
    codes[a] = 0;
    if (plan.region[a] != Region::half) {
      if (o.symmetry && (*o.symmetry)[static_cast<std::size_t>(a)] != 0) {
        refuse("--symmetry names code " +
               std::to_string((*o.symmetry)[static_cast<std::size_t>(a)]) + " for " +
               axis_names[a] + ", but the table covers " + range +
               ": a symmetry plane needs a table that starts at 0");
      }
      continue;
    }
    const double* f = scan.largest_on_plane[a][part];
    const double normal = f[a];
    const double tangential = std::max(f[(a + 1) % 3], f[(a + 2) % 3]);
    plan.normal_on_plane[a] = normal;
    plan.tangential_on_plane[a] = tangential;
    const bool normal_zero = normal <= zero, tangential_zero = tangential <= zero;
    const std::string figures =
        "on the plane " + std::string(axis_names[a]) + " = 0 the normal component reaches " +
        figure(normal) + " and the tangential ones " + figure(tangential) + "; zero is at most " +
        figure(zero) + " (--tolerance " + figure(o.tolerance) + " of the largest value " +
        figure(plan.largest) + ")";
    const int found = normal_zero && !tangential_zero ? 1 : tangential_zero && !normal_zero ? 2 : 0;
    if (o.symmetry) {
      const int named = (*o.symmetry)[static_cast<std::size_t>(a)];
      if (named == 0 && a != 2) {
        refuse("--symmetry names code 0 for " + std::string(axis_names[a]) +
               ", but the table covers " + range +
               ": without a plane at 0 the output region would lie outside the table");
      }
      if ((named == 1 && !normal_zero) || (named == 2 && !tangential_zero)) {
        plan.warnings.push_back("--symmetry names code " + std::to_string(named) + " for " +
                                axis_names[a] + ", which the field contradicts: " + figures);
      }
      codes[a] = named;
      if (named == 0) plan.region[a] = Region::offset;
      continue;
    }
    if (found == 0) {
      refuse("cannot tell the symmetry code of the plane " + std::string(axis_names[a]) +
             " = 0: " + figures + (normal_zero ? "; both vanish" : "; neither vanishes") +
             ". Name the codes with --symmetry CX CY CZ");
    }
    codes[a] = found;
  }
}

// What each component shows about the plane at 0 of each whole axis with symmetric nodes.
void find_parity(const Options& o, Plan& plan) {
  const ExportScan& scan = plan.scan;
  const int part = plan.part == Part::real ? real_part : imaginary_part;
  for (int a = 0; a < 3; ++a) {
    const AxisMesh& m = scan.axis[a];
    if (plan.region[a] != Region::whole ||
        std::abs(m.lo + m.hi) > irregular_step_fraction * m.step) {
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      // A parity holds when the part of the component that breaks it is no larger than
      // zero, --tolerance of the largest value, in root mean square over the records.
      const double scale = std::sqrt(static_cast<double>(scan.records)) * plan.largest;
      std::string& shown = plan.parity[static_cast<std::size_t>(a)][static_cast<std::size_t>(k)];
      if (scan.largest[part][k] <= o.tolerance * plan.largest) {
        shown = "zero";
        continue;
      }
      // The sum that does not cancel for a component of the other parity is a random walk,
      // so it may come out small by chance: of the two, the one that vanishes is the
      // smaller.
      const double odd = std::abs(scan.odd_sum[part][a][k]);
      const double even = std::abs(scan.even_sum[part][a][k]);
      if (odd <= o.tolerance * scale && odd < even) {
        shown = "odd";
      } else if (even <= o.tolerance * scale && even < odd) {
        shown = "even";
      } else {
        shown = "neither";
      }
    }
  }
}

std::string counts_text(const int counts[3]) {
  return std::to_string(counts[0]) + " x " + std::to_string(counts[1]) + " x " +
         std::to_string(counts[2]);
}

// The table's nodes: every K-th of the export's along each axis, refused when they do not
// fit korvane's input grid after unfolding (2N - 1 nodes on an unfolded axis: korvane would
// stop on it) or leave fewer than the 3 its interpolation needs.
void select_nodes(const Options& o, Plan& plan, const std::int32_t codes[3]) {
  int unfolded[3], smallest[3];
  bool fits = true;
  std::string how;
  for (int a = 0; a < 3; ++a) {
    const int every = o.every[static_cast<std::size_t>(a)];
    const int count = plan.scan.axis[a].count;
    const int kept = (count - 1) / every + 1;
    if (kept < 3) {
      refuse("--every " + std::to_string(every) + " leaves " + std::to_string(kept) +
             " of the export's " + std::to_string(count) + " nodes along " + axis_names[a] +
             "; korvane needs at least 3");
    }
    plan.table_counts[a] = kept;
    plan.every[a] = every;
    const bool unfold = codes[a] != 0 && o.unfold;
    unfolded[a] = unfold ? 2 * kept - 1 : kept;
    // The most table nodes that fit, and the smallest K that leaves no more.
    const int most = unfold ? (input_capacity[a] + 1) / 2 : input_capacity[a];
    smallest[a] = (count - 1) / most + 1;
    fits = fits && unfolded[a] <= input_capacity[a];
    if (unfold) {
      how += std::string(how.empty() ? "; " : ", ") + axis_names[a] + " unfolded from " +
             std::to_string(kept);
    }
  }
  if (!fits) {
    const std::string given = o.every == std::array<int, 3>{1, 1, 1}
                                  ? ""
                                  : " with --every " + std::to_string(o.every[0]) + " " +
                                        std::to_string(o.every[1]) + " " +
                                        std::to_string(o.every[2]);
    refuse("too large for korvane: the table" + given + " gives " + counts_text(unfolded) +
           " nodes" + how + ", and korvane's input grid holds at most " +
           counts_text(input_capacity) +
           ". --every KX KY KZ writes every K-th node into the"
           " table; the smallest that fits is --every " +
           std::to_string(smallest[0]) + " " + std::to_string(smallest[1]) + " " +
           std::to_string(smallest[2]));
  }
  for (int a = 0; a < 3; ++a) {
    const int every = o.every[static_cast<std::size_t>(a)];
    if (every == 1) continue;
    const AxisMesh& m = plan.scan.axis[a];
    std::string note = "--every: the table keeps every " + ordinal(every) + " node along " +
                       axis_names[a] + ", " + std::to_string(plan.table_counts[a]) + " of " +
                       std::to_string(m.count);
    if ((m.count - 1) % every != 0) {
      note +=
          "; it ends at " + figure(plan.scan.last[a]) + ", short of the export's " + figure(m.hi);
    }
    plan.notes.push_back(note);
  }
}

std::string today() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return text;
}

void draft_control(const Options& o, Plan& plan, const std::int32_t codes[3]) {
  ControlDraft& c = plan.control;
  const ExportScan& scan = plan.scan;
  const double cscale = plan.length.metres;
  c.titles[0] = "Drafted by korvane-prepare on " + today() + " from " +
                printable(fs::path(o.export_path).filename().string());
  c.titles[1] = std::string(field_letter(plan.field.kind)) + " in " + plan.field.name + ", " +
                (plan.part == Part::real ? "real" : "imaginary") + " parts, coordinates in " +
                plan.length.name + ", " + describe_order(scan.order);
  c.table = o.table;
  c.ifield = plan.field.kind == FieldKind::electric ? 0 : 1;
  for (int a = 0; a < 3; ++a) {
    c.isym[a] = codes[a];
    c.ksym[a] = o.unfold ? 0 : codes[a];
  }
  c.nfile = o.nfile;
  c.ifmt = o.format;
  c.fscale = plan.field.fscale;
  c.cscale = cscale;
  DraftInput& table = plan.draft_input;
  std::copy(scan.first, scan.first + 3, table.first);
  std::copy(scan.last, scan.last + 3, table.last);
  std::copy(plan.table_counts, plan.table_counts + 3, table.counts);
  table.cscale = cscale;
  std::copy(c.isym, c.isym + 3, table.isym);
  std::copy(c.ksym, c.ksym + 3, table.ksym);
  if (o.nodes) {
    for (int a = 0; a < 3; ++a) table.choice[a].count = (*o.nodes)[static_cast<std::size_t>(a)];
  }
  plan.grid = draft_grid(table);
  c.aper = plan.grid.aper;
  c.d_elm = plan.grid.d_elm;
  for (int a = 0; a < 3; ++a) c.counts[a] = plan.grid.axis[a].count;
  // Where the output starts on an axis whose plane it keeps.
  if (c.ksym[2] != 0) c.comments[d_elm_record] = "d_elm (m): output z from 0 to d_elm/2";
  if (c.ksym[0] != 0 || c.ksym[1] != 0) {
    const auto from = [&c](int a) { return std::string(c.ksym[a] != 0 ? "0" : "-aper"); };
    c.comments[aper_record] = from(0) == from(1)
                                  ? "aper (m): output x and y from " + from(0) + " to aper"
                                  : "aper (m): output x from " + from(0) + ", y from " +
                                        from(1) + ", to aper";
  }
  c.comments[fscale_record] = plan.field.meaning;
  c.comments[cscale_record] = "cscale: table coordinates in " + plan.length.name;
  c.comments[nfile_record] = "nfile: output file " + field_file_name(o.nfile);
}

void check_table_name(const Options& o) {
  const std::string& name = o.table;
  if (name.empty() || name.size() > static_cast<std::size_t>(name_length) || name.front() == ' ' ||
      name.back() == ' ' || name.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
    throw OverwriteError("--table " + quoted_token(name) +
                         ": the converter reads a name of 1 to " + std::to_string(name_length) +
                         " characters on one line, without blanks at its ends");
  }
}

}  // namespace

Plan plan_preparation(const Options& o) {
  check_table_name(o);
  Plan plan;
  const fs::path dir(o.dir);
  plan.table_path = (dir / o.table).string();
  plan.control_path = (dir / "korvane.dat").string();
  std::error_code error;
  // The folder may not exist yet, so compare the names resolved as far as they go too.
  const auto resolved = [&error](const std::string& path) {
    return fs::weakly_canonical(fs::absolute(path, error).lexically_normal(), error);
  };
  const auto is_export = [&](const std::string& path) {
    return resolved(path) == resolved(o.export_path) ||
           (fs::exists(path, error) && fs::equivalent(path, o.export_path, error));
  };
  if (is_export(plan.table_path)) {
    throw OverwriteError("the table " + quoted_token(plan.table_path) +
                         " would overwrite the export; name another with --table");
  }
  // --force would replace an export named korvane.dat by the drafted control file.
  if (is_export(plan.control_path)) {
    throw OverwriteError("the control file " + quoted_token(plan.control_path) +
                         " would overwrite the export; rename the export or write with --dir");
  }

  // The export is read twice, for its mesh and then for the table: a pipe gives its records
  // once, and the second pass would find them gone.
  std::error_code status_error;
  const fs::file_status status = fs::status(o.export_path, status_error);
  if (!status_error && fs::exists(status) && !fs::is_regular_file(status) &&
      !fs::is_directory(status)) {
    throw IoError(TextPlace{"", 0, o.export_path, 0}.message(
        "not a regular file: korvane-prepare reads the export twice; save it to a file first"));
  }
  plan.scan = scan_export(o.export_path, o.every);
  const ExportScan& scan = plan.scan;
  if (!scan.layout.from_header && (!o.length_unit || !o.field_unit)) {
    refuse("the export " + quoted_token(o.export_path) +
           " has no header to tell the units: name them with --length-unit and --field-unit");
  }
  plan.length = length_unit(o, scan);
  plan.field = field_unit(o, scan);
  plan.part = choose_part(o, plan);
  std::int32_t codes[3];
  choose_symmetry(o, plan, codes);
  if (plan.largest == 0) plan.warnings.push_back("the field is zero everywhere");
  find_parity(o, plan);
  if (scan.repeat_line != 0) {
    plan.notes.push_back("line " + std::to_string(scan.repeat_line) +
                         " repeats the last record exactly; the repeat is dropped");
  }
  select_nodes(o, plan, codes);
  draft_control(o, plan, codes);
  return plan;
}

bool table_keeps(const Plan& plan, long record) {
  if (plan.every[0] == 1 && plan.every[1] == 1 && plan.every[2] == 1) return true;
  const ExportScan& scan = plan.scan;
  long rest = record;
  for (int role = 0; role < 3; ++role) {
    const int a = scan.order[role];
    const long count = scan.axis[a].count;
    const long index = role == 2 ? rest : rest % count;
    rest /= count;
    if (index % plan.every[a] != 0) return false;
  }
  return true;
}

}  // namespace korvane::prepare
