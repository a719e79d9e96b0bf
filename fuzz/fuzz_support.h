// Shared by the fuzz targets: one field store for the whole process, a scratch folder,
// and a check that stops the fuzzer with a message when an invariant fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "store/field_store.h"
#include "textio/errors.h"

namespace korvane::fuzz {

// The process's store, every byte zero after reset_store(). It is mapped once; a reset
// gives back only the pages the last input touched, so a small input costs a few pages,
// not the 100 MB a memset of the whole store would, and every input starts from the same
// all-zero store as a real run does (stale arrays from an earlier input would make a
// finding depend on the inputs before it).
FieldStore& store();
void reset_store();

// A folder of this process under the system's temporary folder, removed at exit.
const std::filesystem::path& scratch();
// Removes everything inside the scratch folder.
void clear_scratch();

void write_bytes(const std::filesystem::path& path, std::string_view bytes);
std::string read_bytes(const std::filesystem::path& path);

// Runs a callable with the scratch folder as working directory.
template <class F>
void in_scratch(F&& body);

// Aborts with `what` on standard error when `condition` is false, so the fuzzer keeps the
// input as a crash.
void require(bool condition, std::string_view what);

// True when `message` names unit `unit` in the form every input/output error takes.
bool names_unit(std::string_view message, int unit);

// True when `message` is one of the fixed messages of a fatal stop.
bool is_fatal_message(std::string_view message);

class IgnoredWarnings : public Warnings {
 public:
  void warn(const std::string& text) override;
};

// Implementation of in_scratch.
class ScratchCwd {
 public:
  ScratchCwd();
  ~ScratchCwd();
  ScratchCwd(const ScratchCwd&) = delete;
  ScratchCwd& operator=(const ScratchCwd&) = delete;

 private:
  int previous_;
};

template <class F>
void in_scratch(F&& body) {
  ScratchCwd cwd;
  body();
}

}  // namespace korvane::fuzz
