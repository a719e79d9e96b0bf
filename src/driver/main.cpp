// korvane: converts an exported 3D field table into a PELIX 3D field file, driven by
// "korvane.dat" in the working directory.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "driver/conversion.h"
#include "textio/errors.h"

namespace {

class StandardErrorWarnings : public korvane::Warnings {
 public:
  void warn(const std::string& text) override {
    std::fprintf(stderr, "korvane: warning: %s\n", text.c_str());
  }
};

constexpr const char* usage =
    "usage: korvane [-C DIR | --help | --version]\n"
    "\n"
    "Converts an exported 3D field table into a PELIX 3D field file. Run without\n"
    "arguments in a folder holding the control file korvane.dat; the tool reads it and\n"
    "the export table it names, writes the run log korvane.log and the field file\n"
    "eh_EMS.#NN there. With -C DIR it runs in DIR instead of the working directory.\n"
    "Exit status: 0 done, 1 fatal stop, 2 input/output error.\n"
    "The user guide is docs/guide.md in the korvane sources.\n";

// One conversion in the working directory on `threads` threads; the exit status.
int run(int threads) {
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

// The thread cap from KORVANE_THREADS, settled before any file is opened: a bad setting
// ends the run with nothing touched (0 then, after the message).
int threads_or_message() {
  try {
    return korvane::run_threads(std::getenv(korvane::threads_variable));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "korvane: %s\n", error.what());
    return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvane %s\n", KORVANE_VERSION);
    return 0;
  }
  const bool in_folder = argc == 3 && std::strcmp(argv[1], "-C") == 0;
  if (argc > 1 && !in_folder) {
    std::fprintf(stderr,
                 "korvane: unknown argument '%s' (korvane takes only -C DIR; see --help)\n",
                 korvane::printable(argv[1]).c_str());
    return 2;
  }
  const int threads = threads_or_message();
  if (threads == 0) return 2;
  // As make -C and git -C: the run takes DIR for its working directory, so that
  // "korvane-prepare export.txt --dir case && korvane -C case" works from anywhere.
  if (in_folder && ::chdir(argv[2]) != 0) {
    std::fprintf(stderr, "korvane: cannot enter the folder '%s': %s\n",
                 korvane::printable(argv[2]).c_str(), std::strerror(errno));
    return 2;
  }
  return run(threads);
}
