#include "store/field_store.h"

#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>

namespace korvane {

static_assert(std::is_trivially_default_constructible_v<FieldStore>);
static_assert(std::is_trivially_destructible_v<FieldStore>);

void StoreDeleter::operator()(FieldStore* store) const { std::free(store); }

StorePtr make_store() {
  // calloc gives zeroed memory; FieldStore is an implicit-lifetime type, so the object
  // exists in it without a constructor call.
  void* memory = std::calloc(1, sizeof(FieldStore));
  if (memory == nullptr) throw std::bad_alloc();
  return StorePtr(static_cast<FieldStore*>(memory));
}

std::string table_name(const FieldStore& store) {
  std::size_t length = store.fname.size();
  while (length > 0 && store.fname[length - 1] == ' ') --length;
  return std::string(store.fname.data(), length);
}

}  // namespace korvane
