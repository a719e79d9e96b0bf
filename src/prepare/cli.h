// The command line of korvane-prepare, apart from main() so that tests can run it in-process.
#pragma once

#include <string>
#include <vector>

namespace korvane::prepare {

// The name every message of the tool starts with.
inline constexpr const char* program_name = "korvane-prepare";

// Runs the tool on its arguments (without the program name): reads the export, writes the
// table and korvane.dat. The report (or the help, or the version) goes to `out`; warnings
// and the message that ends the run go to `err`, each line starting with the program's name
// once. Returns the exit status: 0 written; 1 the export cannot be prepared; 2 a file that
// cannot be read or written, a file that would be overwritten, or a wrong command line.
int run_prepare(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace korvane::prepare
