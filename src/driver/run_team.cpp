#include "driver/run_team.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "textio/errors.h"
#include "textio/group_reader.h"

namespace korvane {

int run_threads(const char* setting) {
  const int usable = usable_processors();
  if (setting == nullptr) return usable;
  std::int32_t cap = 0;
  const TokenStatus status = parse_integer(setting, cap);
  // A count beyond 32 bits asks for no cap at all.
  if (status == TokenStatus::out_of_range && setting[0] != '-') return usable;
  if (status != TokenStatus::ok || cap < 1) {
    std::string shown = printable(std::string_view(setting).substr(0, 40));
    if (std::string_view(setting).size() > 40) shown += "...";
    throw std::invalid_argument(std::string(threads_variable) + "='" + shown +
                                "' is not a positive integer (the most threads a run uses)");
  }
  return std::min(cap, usable);
}

std::unique_ptr<TaskPool> run_team() {
  return make_team(run_threads(std::getenv(threads_variable)));
}

std::unique_ptr<TaskPool> make_team(int threads) {
  try {
    return std::make_unique<TaskPool>(threads);
  } catch (const std::system_error&) {
    return std::make_unique<TaskPool>(1);
  }
}

}  // namespace korvane
