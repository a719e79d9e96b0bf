#include "inspect/cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "textio/errors.h"

namespace korvane::inspect {

const char* const usage =
    "usage: korvane-inspect FILE [--check [--parity-tolerance T]] [--compare OTHER\n"
    "                       [--tolerance T]] [--source CONTROL [--source-tolerance T]]\n"
    "                       [--axis CSV] [--svg PREFIX] [--vtk FILE] [--csv FILE]\n"
    "                       [--report PAGE.html] [--field E|H] [--openpmd OUT.h5 ...]\n"
    "       korvane-inspect --help | --version\n"
    "\n"
    "Reads an output field file of korvane (format 0, 1 or 2, told from its content) and\n"
    "reports its format, grid, header values and, for each field component, minimum,\n"
    "maximum, root-mean-square value and the node of the largest magnitude.\n"
    "\n"
    "  --check         also report the discrete divergence of each field set, the parity\n"
    "                  of each component about each plane x, y, z = 0 the grid is\n"
    "                  symmetric about and the symmetry code it matches, and the odd\n"
    "                  components on each symmetry plane the file keeps\n"
    "  --parity-tolerance T  judges parities and kept planes, relative to the largest\n"
    "                  magnitude of the set (default 0.1)\n"
    "  --compare OTHER compare with another field file on the same grid: the largest\n"
    "                  difference of each component, where it lies, and relative to the\n"
    "                  largest magnitude of its set in FILE; a file that keeps a plane the\n"
    "                  other does not is compared unfolded over it\n"
    "  --tolerance T   the largest relative difference --compare accepts (default 0)\n"
    "  --source CONTROL  measure the map against the solver's field: read the table that\n"
    "                  the control file CONTROL (the run's korvane.dat) names as korvane\n"
    "                  reads it, and report how far the map, read trilinearly between\n"
    "                  its nodes, departs from the table at each of its records, relative\n"
    "                  to the table's largest field magnitude\n"
    "  --source-tolerance T  the largest departure --source accepts (default 0.01)\n"
    "  --axis CSV      write the profile on the axis x = y = 0 (components and transverse\n"
    "                  derivatives along z) and report its integrals\n"
    "  --svg PREFIX    write PREFIX_<set>_axis.svg (the components along z at x = y = 0)\n"
    "                  and PREFIX_<set>_maps.svg (colour maps on the x-z and y-z planes);\n"
    "                  with --axis also PREFIX_<set>_axis_gradient.svg\n"
    "  --vtk FILE      write the field as legacy VTK structured points (ASCII), unfolded\n"
    "                  over the symmetry planes the file keeps\n"
    "  --csv FILE      write one line per node: x, y, z and the components, unfolded over\n"
    "                  the symmetry planes the file keeps\n"
    "  --report PAGE.html  write one self-contained page to open in a browser: the file's\n"
    "                  grid and statistics, the checks of --check (which it runs), the\n"
    "                  departure from the table with --source, colour maps of every\n"
    "                  component and the on-axis profile\n"
    "  --field E|H     name the three component records of a format 0 or 1 file, which\n"
    "                  do not say whether they hold the electric or the magnetic field\n"
    "\n"
    "Exit status: 0 done; 1 --check or --report found a fault, --compare a difference\n"
    "above the tolerance or another grid, or --source a departure above its tolerance; 2 a\n"
    "file that cannot be read or written, a control file or table korvane would refuse, or\n"
    "a wrong command line.\n";

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  CLI::App app("korvane-inspect");
  // The usage text above is the help; CLI11 only parses.
  app.set_help_flag();
  app.add_flag("-h,--help", o.help);
  app.add_flag("--version", o.version);
  app.add_flag("--check", o.check);
  // The range is checked below: CLI11's own message would print the largest double. It
  // needs --check or --report, which CLI11 cannot say: checked below too.
  app.add_option("--parity-tolerance", o.parity_tolerance);
  CLI::Option* compare = app.add_option("--compare", o.compare);
  app.add_option("--tolerance", o.tolerance)->needs(compare);
  CLI::Option* source = app.add_option("--source", o.source);
  app.add_option("--source-tolerance", o.source_tolerance)->needs(source);
  app.add_option("--axis", o.axis);
  app.add_option("--svg", o.svg);
  app.add_option("--vtk", o.vtk);
  app.add_option("--csv", o.csv);
  app.add_option("--report", o.report);
  std::string field;
  app.add_option("--field", field);
  // The openPMD output's settings are judged by its own setter, in the order given here.
  std::string openpmd_values[std::size(openpmd_options)];
  for (std::size_t n = 0; n < std::size(openpmd_options); ++n) {
    app.add_option(openpmd_options[n], openpmd_values[n]);
  }
  app.add_option("file", o.file);
  // Whatever CLI11 does not take is judged below, in the tool's own words.
  app.allow_extras();

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (o.help || o.version) return o;

  for (const std::string& extra : app.remaining()) {
    if (extra.size() > 1 && extra[0] == '-') {
      throw UsageError("unknown option '" + printable(extra) + "'");
    }
    throw UsageError("one field file at a time ('" + printable(o.file) + "', then '" +
                     printable(extra) + "')");
  }
  if (app.count("--parity-tolerance") > 0 && !o.check && o.report.empty()) {
    throw UsageError("--parity-tolerance requires --check or --report");
  }
  if (app.count("--field") > 0) {
    if (field != "E" && field != "H")
      throw UsageError("--field takes E or H, not '" + printable(field) + "'");
    o.field_given = true;
    o.triple = field == "E" ? TripleSet::electric : TripleSet::magnetic;
  }
  for (std::size_t n = 0; n < std::size(openpmd_options); ++n) {
    if (app.count(openpmd_options[n]) == 0) continue;
    try {
      set_openpmd_option(openpmd_options[n], openpmd_values[n], o.openpmd);
    } catch (const std::invalid_argument& e) {
      throw UsageError(e.what());
    }
  }
  if (o.openpmd.output.empty() && !o.openpmd.first_setting.empty()) {
    throw UsageError(o.openpmd.first_setting + " applies to --openpmd only");
  }
  if (!std::isfinite(o.parity_tolerance) || !std::isfinite(o.tolerance) ||
      !std::isfinite(o.source_tolerance) || o.parity_tolerance < 0.0 || o.tolerance < 0.0 ||
      o.source_tolerance < 0.0)
    throw UsageError("a tolerance must be a finite number of 0 or more");
  if (o.file.empty()) throw UsageError("no field file named");
  for (const std::string* name : {&o.axis, &o.svg, &o.vtk, &o.csv, &o.report, &o.openpmd.output}) {
    if (!name->empty() && (*name == o.file || *name == o.compare)) {
      throw UsageError("'" + printable(*name) + "' is a field file this run reads");
    }
  }
  return o;
}

}  // namespace korvane::inspect
