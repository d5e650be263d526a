// Time that the benchmark's own thread spent computing (user and system).
// Ratios of two computations in the same iterations use it: on a machine
// shared with other work, wall-clock time mostly measures the waiting.
#pragma once

#include <time.h>

namespace tav::bench {

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// All threads of the process: for work spread over several cores.
inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace tav::bench
