#include "store/field_store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>

namespace korvane {

static_assert(std::is_trivially_default_constructible_v<FieldStore>);
static_assert(std::is_trivially_destructible_v<FieldStore>);

namespace {

// The store lies on a 2 MiB boundary, the size of a large page, and asks for large pages:
// a run that fills 100 MB of fields then takes a fiftieth of the page faults (each of which
// hands out a zeroed page) that small pages would cost.
constexpr std::size_t large_page = std::size_t{2} << 20;

}  // namespace

void StoreDeleter::operator()(FieldStore* store) const { ::munmap(store, sizeof(FieldStore)); }

StorePtr make_store() {
  const std::size_t mapped = sizeof(FieldStore) + large_page;
  void* memory =
      ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  // Keep the aligned part only; the slack before and after it goes back at once.
  char* const base = static_cast<char*>(memory);
  const auto address = reinterpret_cast<std::uintptr_t>(base);
  const std::size_t head = (large_page - address % large_page) % large_page;
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t kept = (sizeof(FieldStore) + page - 1) / page * page;
  if (head > 0) ::munmap(base, head);
  if (mapped > head + kept) ::munmap(base + head + kept, mapped - head - kept);
  // Only advice: without large pages the store works the same on small ones.
  ::madvise(base + head, kept, MADV_HUGEPAGE);
  // Anonymous memory starts zero, and FieldStore is an implicit-lifetime type: the object
  // exists in it without a constructor call.
  return StorePtr(reinterpret_cast<FieldStore*>(base + head));
}

std::string table_name(const FieldStore& store) {
  std::size_t length = store.fname.size();
  while (length > 0 && store.fname[length - 1] == ' ') --length;
  return std::string(store.fname.data(), length);
}

GridExtent input_extent(const FieldStore& s) {
  return {{s.Ximin, s.Yimin, s.Zimin}, {s.Ximax, s.Yimax, s.Zimax}, {s.Nix, s.Niy, s.Niz}};
}

GridExtent output_extent(const FieldStore& s) {
  return {{s.Xmin, s.Ymin, s.Zmin}, {s.Xmax, s.Ymax, s.Zmax}, {s.Nox, s.Noy, s.Noz}};
}

void set_input_extent(FieldStore& s, const GridExtent& g) {
  s.Ximin = g.lower[0], s.Yimin = g.lower[1], s.Zimin = g.lower[2];
  s.Ximax = g.upper[0], s.Yimax = g.upper[1], s.Zimax = g.upper[2];
  s.Nix = g.count[0], s.Niy = g.count[1], s.Niz = g.count[2];
}

void set_output_extent(FieldStore& s, const GridExtent& g) {
  s.Xmin = g.lower[0], s.Ymin = g.lower[1], s.Zmin = g.lower[2];
  s.Xmax = g.upper[0], s.Ymax = g.upper[1], s.Zmax = g.upper[2];
  s.Nox = g.count[0], s.Noy = g.count[1], s.Noz = g.count[2];
}

}  // namespace korvane
