// The command line of korvane-inspect, apart from main() so that tests can run it.
#pragma once

#include <string>
#include <vector>

namespace korvane::inspect {

// Runs the tool on its arguments (without the program name). The report goes to `out`,
// messages to `err`. Returns the exit status: 0 done; 1 when --check finds a fault or
// --compare another grid or a difference above the tolerance; 2 a file that cannot be read
// or is not a field file, an output that cannot be written, or a wrong command line.
int run_inspect(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace korvane::inspect
