// korvane-inspect: reads a field file that korvane wrote, reports on it, checks it and
// draws it.
#include <cstdio>
#include <string>
#include <vector>

#include "inspect/cli/cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  const int status = korvane::inspect::run_inspect(args, out, err);
  std::fputs(out.c_str(), stdout);
  std::fputs(err.c_str(), stderr);
  return status;
}
