// The thread team of a run, made one way for the converter and its companions: as many
// threads as the processors the process may use, capped by KORVANE_THREADS.
#pragma once

#include <memory>

#include "util/task_pool.h"

namespace korvane {

inline constexpr const char* threads_variable = "KORVANE_THREADS";

// The threads a run uses: the processors this process may use, capped by the setting of
// KORVANE_THREADS (`setting`, nullptr when it is not set). Throws std::invalid_argument
// with a one-line message naming the variable for a setting that is not a positive
// integer.
int run_threads(const char* setting);

// A team of `threads` threads, or of the caller alone when the system cannot start more.
// Throws only std::bad_alloc.
std::unique_ptr<TaskPool> make_team(int threads);

// The team of a run of any of the tools: make_team(run_threads(KORVANE_THREADS as set)).
// Throws std::invalid_argument for a bad setting, as run_threads does.
std::unique_ptr<TaskPool> run_team();

}  // namespace korvane
