#include "store/run_context.h"

namespace korvane {

std::string table_path(const FieldStore& s, const RunContext& run) {
  if (!run.table.empty()) return run.table;
  std::string name = table_name(s);
  const std::string& folder = run.folder;
  if (folder.empty() || folder == "." || (!name.empty() && name[0] == '/')) return name;
  std::string path(folder);
  if (path.back() != '/') path += '/';
  return path + name;
}

}  // namespace korvane
