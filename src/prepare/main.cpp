// korvane-prepare: reads a solver export as saved and writes the converter's two inputs.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "prepare/prepare.h"
#include "textio/errors.h"

namespace {

// Messages of the shared readers speak for the converter; this tool speaks for itself.
std::string own_voice(std::string message) {
  const std::string converter = "korvane: ";
  if (message.compare(0, converter.size(), converter) == 0) message.erase(0, converter.size());
  return "korvane-prepare: " + message;
}

}  // namespace

int main(int argc, char** argv) {
  using korvane::prepare::Options;
  using korvane::prepare::Part;
  Options o;
  bool json = false;
  std::string part;
  std::vector<int> symmetry;
  CLI::App app{
      "Reads a solver export as saved (header, columns, units, mesh, symmetry), and writes\n"
      "a headerless table and a drafted korvane.dat for the converter into a folder.\n"
      "Exit status: 0 written, 1 the export cannot be prepared, 2 a file that cannot be\n"
      "read or written, a file that would be overwritten, or a wrong command line.",
      "korvane-prepare"};
  app.add_option("EXPORT", o.export_path, "the solver's export, header included")->required();
  app.add_option("--dir", o.dir, "folder to write into (created when missing)")
      ->capture_default_str();
  app.add_option("--table", o.table, "name of the table in that folder")->capture_default_str();
  // A unit named on the command line that is not known is a wrong command line (status 2),
  // not a fault of the export.
  const CLI::Validator length_unit(
      [](std::string& name) {
        return korvane::prepare::find_length_unit(name) ? "" : "not one of m, cm, mm, um, in";
      },
      "UNIT");
  const CLI::Validator field_unit(
      [](std::string& name) {
        return korvane::prepare::find_field_unit(name)
                   ? ""
                   : "not one of V/m, kV/m, MV/m, V/cm, A/m, kA/m, T, mT, G, Vs/m^2, Wb/m^2";
      },
      "UNIT");
  app.add_option("--length-unit", o.length_unit, "unit of the coordinates: m, cm, mm, um, in")
      ->check(length_unit);
  app.add_option("--field-unit", o.field_unit,
                 "unit of the field: V/m, kV/m, MV/m, V/cm, A/m, kA/m, T, mT, G, Vs/m^2, Wb/m^2")
      ->check(field_unit);
  app.add_option("--part", part, "the part to write: re or im (default: the non-zero one)")
      ->check(CLI::IsMember({"re", "im"}));
  app.add_option("--symmetry", symmetry, "symmetry codes of the planes x, y, z = 0 (0, 1, 2)")
      ->expected(3)
      ->check(CLI::Range(0, 2));
  app.add_option("--tolerance", o.tolerance,
                 "a field no larger than this fraction of the largest value counts as zero")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--nfile", o.nfile, "number of the output file eh_EMS.#NN")
      ->check(CLI::Range(0, 99))
      ->capture_default_str();
  app.add_option("--format", o.format, "format of the output file: 0, 1 or 2")
      ->check(CLI::Range(0, 2))
      ->capture_default_str();
  std::vector<int> every;
  app.add_option("--every", every,
                 "write every K-th node along x, y, z into the table (an export too large"
                 " for korvane)")
      ->expected(3)
      ->check(CLI::Range(1, 1000000));
  app.add_flag("--keep-symmetry", o.keep_symmetry,
               "keep the table's symmetry planes in the output instead of unfolding them");
  app.add_flag("--force", o.force, "replace an existing table or korvane.dat");
  app.add_flag("--json", json, "print the report as one JSON object");
  app.set_version_flag("--version", std::string("korvane-prepare ") + KORVANE_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);
    std::fprintf(stderr, "korvane-prepare: %s (see --help)\n", error.what());
    return 2;
  }
  if (!part.empty()) o.part = part == "im" ? Part::imaginary : Part::real;
  if (!symmetry.empty()) o.symmetry = std::array<int, 3>{symmetry[0], symmetry[1], symmetry[2]};
  if (!every.empty()) o.every = {every[0], every[1], every[2]};

  // A full disk must end as an error the tool reports, not as SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    const korvane::prepare::Plan plan = korvane::prepare::plan_preparation(o);
    korvane::prepare::write_preparation(plan, o);
    for (const std::string& warning : plan.warnings) {
      std::fprintf(stderr, "korvane-prepare: warning: %s\n", warning.c_str());
    }
    const std::string report =
        json ? korvane::prepare::report_json(plan) : korvane::prepare::report_text(plan);
    std::fputs(report.c_str(), stdout);
    return 0;
  } catch (const korvane::prepare::Refusal& refusal) {
    std::fprintf(stderr, "korvane-prepare: %s\n", refusal.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", own_voice(error.what()).c_str());
    return 2;
  }
}
