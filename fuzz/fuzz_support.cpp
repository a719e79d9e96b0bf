#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>

namespace korvane::fuzz {
namespace fs = std::filesystem;

namespace {

void* store_memory() {
  static void* memory = [] {
    void* m = ::mmap(nullptr, sizeof(FieldStore), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) {
      std::perror("korvane fuzz: mmap of the store");
      std::abort();
    }
    return m;
  }();
  return memory;
}

void remove_scratch();

fs::path make_scratch() {
  std::string pattern = (fs::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("korvane fuzz: mkdtemp");
    std::abort();
  }
  std::atexit(remove_scratch);
  return pattern;
}

void remove_scratch() {
  std::error_code ignored;
  fs::remove_all(scratch(), ignored);
}

}  // namespace

FieldStore& store() {
  // An anonymous mapping reads as zero; FieldStore is an implicit-lifetime type.
  return *static_cast<FieldStore*>(store_memory());
}

void reset_store() {
  // Private anonymous pages given back with MADV_DONTNEED read as zero on their next use.
  if (::madvise(store_memory(), sizeof(FieldStore), MADV_DONTNEED) != 0) {
    std::perror("korvane fuzz: madvise");
    std::abort();
  }
}

const fs::path& scratch() {
  // Never destroyed: the exit handler that removes the folder runs after the destructors
  // of statics made before it was registered, and must still find the path.
  static const fs::path* const path = new fs::path(make_scratch());
  return *path;
}

void clear_scratch() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(scratch())) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(entry.path(), ignored);
  }
}

void write_bytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  require(static_cast<bool>(out), "cannot write a scratch file");
}

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void require(bool condition, std::string_view what) {
  if (condition) return;
  std::fprintf(stderr, "korvane fuzz: invariant failed: %.*s\n", static_cast<int>(what.size()),
               what.data());
  std::abort();
}

bool names_unit(std::string_view message, int unit) {
  const std::string prefix = "korvane: unit " + std::to_string(unit) + ", file '";
  return message.substr(0, prefix.size()) == prefix;
}

bool is_fatal_message(std::string_view message) {
  static constexpr std::string_view messages[] = {
      " Output grid larger than max PELIX grid ",
      " Output grid needs at least 2 nodes along each axis ",
      " Symmetry codes must be 0, 1 or 2 ",
      " Input grid not found in the export table ",
      " Input grid larger than max input grid ",
      " Input grid coordinates must increase along each axis ",
      " Input grid needs at least 3 nodes along each axis to interpolate ",
      " Not a valid PELIX 3D field format: use 0, 1 or 2 ",
  };
  for (std::string_view m : messages) {
    if (message == m) return true;
  }
  return false;
}

void IgnoredWarnings::warn(const std::string& text) {
  require(text.find('\n') == std::string::npos, "a warning spans more than one line");
}

ScratchCwd::ScratchCwd() : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  require(previous_ >= 0 && ::chdir(scratch().c_str()) == 0, "cannot enter the scratch folder");
}

ScratchCwd::~ScratchCwd() {
  // Back to where libFuzzer writes its artifacts.
  if (::fchdir(previous_) != 0) std::abort();
  ::close(previous_);
}

}  // namespace korvane::fuzz
