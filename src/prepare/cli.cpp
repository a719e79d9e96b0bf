#include "prepare/cli.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <optional>
#include <sstream>
#include <string_view>

#include "prepare/prepare.h"

namespace korvane::prepare {
namespace {

// What the command line asks for, beside the options of the preparation.
struct Request {
  Options options;
  bool json = false;
  std::string part;
  std::vector<int> symmetry;
  std::vector<int> every;
  std::vector<int> nodes;
  bool keep_symmetry = false;  // the default, accepted as it was before
};

void add_options(CLI::App& app, Request& r) {
  Options& o = r.options;
  app.add_option("EXPORT", o.export_path, "the solver's export, header included")->required();
  app.add_option("--dir", o.dir, "folder to write into (created when missing)")
      ->capture_default_str();
  app.add_option("--table", o.table, "name of the table in that folder")->capture_default_str();
  // A unit named on the command line that is not known is a wrong command line (status 2),
  // not a fault of the export.
  const CLI::Validator length_unit(
      [](std::string& name) {
        return find_length_unit(name) ? "" : "not one of m, cm, mm, um, in";
      },
      "UNIT");
  const CLI::Validator field_unit(
      [](std::string& name) {
        return find_field_unit(name)
                   ? ""
                   : "not one of V/m, kV/m, MV/m, V/cm, A/m, kA/m, T, mT, G, Vs/m^2, Wb/m^2";
      },
      "UNIT");
  app.add_option("--length-unit", o.length_unit, "unit of the coordinates: m, cm, mm, um, in")
      ->check(length_unit);
  app.add_option("--field-unit", o.field_unit,
                 "unit of the field: V/m, kV/m, MV/m, V/cm, A/m, kA/m, T, mT, G, Vs/m^2, Wb/m^2")
      ->check(field_unit);
  app.add_option("--part", r.part, "the part to write: re or im (default: the non-zero one)")
      ->check(CLI::IsMember({"re", "im"}));
  app.add_option("--symmetry", r.symmetry, "symmetry codes of the planes x, y, z = 0 (0, 1, 2)")
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
  app.add_option("--every", r.every,
                 "write every K-th node along x, y, z into the table (an export too large"
                 " for korvane)")
      ->expected(3)
      ->check(CLI::Range(1, 1000000));
  CLI::Option* keep = app.add_flag(
      "--keep-symmetry", r.keep_symmetry,
      "keep the table's symmetry planes in the output (the default): korvane copies the "
      "table's own nodes and the beam code mirrors them");
  app.add_flag("--unfold", o.unfold,
               "unfold the table's symmetry planes into the full map instead of keeping them")
      ->excludes(keep);
  app.add_option("--nodes", r.nodes,
                 "the output's nodes along x, y, z (at most 25 25 201), instead of the grid "
                 "drafted by its departure")
      ->expected(3)
      ->check(CLI::Range(2, Nozmax));
  app.add_option("--max-departure", o.max_departure,
                 "refuse, writing nothing, when the drafted map departs from the table by "
                 "more than this fraction of its peak field")
      ->check(CLI::NonNegativeNumber);
  app.add_flag("--force", o.force, "replace an existing table or korvane.dat");
  app.add_flag("--json", r.json, "print the report as one JSON object");
  app.set_version_flag("--version", std::string(program_name) + " " + KORVANE_VERSION);
}

// The command line's request, or the status to end with at once: the help or the version
// printed (0), or a wrong command line (2).
std::optional<int> parse(const std::vector<std::string>& args, Request& r, std::string& out,
                         std::string& err) {
  CLI::App app{
      "Reads a solver export as saved (header, columns, units, mesh, symmetry), and writes\n"
      "a headerless table and a drafted korvane.dat for the converter into a folder.\n"
      "Exit status: 0 written, 1 the export cannot be prepared, 2 a file that cannot be\n"
      "read or written, a file that would be overwritten, or a wrong command line.",
      program_name};
  add_options(app, r);
  try {
    // CLI11 takes the arguments last first.
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {
      std::ostringstream printed;
      const int status = app.exit(error, printed, printed);
      out += printed.str();
      return status;
    }
    err += std::string(program_name) + ": " + error.what() + " (see --help)\n";
    return 2;
  }
  if (!r.part.empty()) r.options.part = r.part == "im" ? Part::imaginary : Part::real;
  if (!r.symmetry.empty()) {
    r.options.symmetry = std::array<int, 3>{r.symmetry[0], r.symmetry[1], r.symmetry[2]};
  }
  if (!r.every.empty()) r.options.every = {r.every[0], r.every[1], r.every[2]};
  if (!r.nodes.empty()) {
    if (r.nodes[0] > Noxmax || r.nodes[1] > Noymax) {
      err += std::string(program_name) + ": --nodes: the output holds at most " +
             std::to_string(Noxmax) + " x " + std::to_string(Noymax) + " x " +
             std::to_string(Nozmax) + " nodes (see --help)\n";
      return 2;
    }
    r.options.nodes = std::array<int, 3>{r.nodes[0], r.nodes[1], r.nodes[2]};
  }
  return std::nullopt;
}

// A message in the tool's voice: its name once in front. The converter's phases, when the
// tool runs them, already speak in it; other messages come without a prefix.
std::string in_own_voice(std::string_view message) {
  const std::string own = std::string(program_name) + ": ";
  if (message.substr(0, own.size()) == own) return std::string(message);
  return own + std::string(message);
}

}  // namespace

int run_prepare(const std::vector<std::string>& args, std::string& out, std::string& err) {
  Request r;
  if (const std::optional<int> status = parse(args, r, out, err)) return *status;
  try {
    Plan plan = plan_preparation(r.options);
    write_preparation(plan, r.options);
    for (const std::string& warning : plan.warnings) {
      err += std::string(program_name) + ": warning: " + warning + "\n";
    }
    out += r.json ? report_json(plan) : report_text(plan);
    return 0;
  } catch (const Refusal& refusal) {
    err += std::string(program_name) + ": " + refusal.what() + "\n";
    return 1;
  } catch (const std::exception& error) {
    err += in_own_voice(error.what()) + "\n";
    return 2;
  }
}

}  // namespace korvane::prepare
