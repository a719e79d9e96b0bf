// korvane-prepare: reads a solver export as saved and writes the converter's two inputs.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "prepare/cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // A full disk must end as an error the tool reports, not as SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string out, err;
  const int status = korvane::prepare::run_prepare(args, out, err);
  // Warnings come before the report, as they are found before it is printed.
  std::fputs(err.c_str(), stderr);
  std::fputs(out.c_str(), stdout);
  return status;
}
