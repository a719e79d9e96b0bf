// korvane: converts an exported 3D field table into a PELIX 3D field file, driven by
// "korvane.dat" in the working directory.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <exception>
#include <string>

#include "driver/conversion.h"

namespace {

class StandardErrorWarnings : public korvane::Warnings {
 public:
  void warn(const std::string& text) override {
    std::fprintf(stderr, "korvane: warning: %s\n", text.c_str());
  }
};

constexpr const char* usage =
    "usage: korvane [--help | --version]\n"
    "\n"
    "Converts an exported 3D field table into a PELIX 3D field file. Run without\n"
    "arguments in a folder holding the control file korvane.dat; the tool reads it and\n"
    "the export table it names, writes the run log korvane.log and the field file\n"
    "eh_EMS.#NN there. Exit status: 0 done, 1 fatal stop, 2 input/output error.\n"
    "The user guide is docs/guide.md in the korvane sources.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
      std::printf("korvane %s\n", KORVANE_VERSION);
      return 0;
    }
    std::fprintf(stderr, "korvane: unknown argument '%s' (korvane takes none; see --help)\n",
                 argv[1]);
    return 2;
  }
  // Settled before any file is opened: a bad setting ends the run with nothing touched.
  int threads = 1;
  try {
    threads = korvane::run_threads(std::getenv(korvane::threads_variable));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "korvane: %s\n", error.what());
    return 2;
  }
  // Past a file-size limit a write must fail as an error the run reports and cleans up
  // after (no temporary left, the log kept), not end the process as SIGXFSZ would.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    StandardErrorWarnings warnings;
    korvane::StorePtr store = korvane::make_store();
    korvane::RunOutcome outcome = korvane::run_conversion(*store, warnings, threads);
    if (outcome.status != 0) std::fprintf(stderr, "%s\n", outcome.message.c_str());
    return outcome.status;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvane: %s\n", error.what());
    return 2;
  }
}
