// RunSideBySide on OpenMP, for tav_bench_workers_openmp: the pool's two
// functions with the same contract, linked ahead of base/side_by_side.cpp so
// that the filter and the loader run on libgomp's threads instead.
#include "base/side_by_side.hpp"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>

namespace tav {

namespace {

// Beyond this many threads a run gains nothing at our sizes of work.
constexpr int kMaxThreads = 8;

// Set on a thread while it runs a piece: a run from inside a piece goes on alone.
thread_local bool tInside = false;
// One run at a time has the threads; a caller meanwhile does its own pieces.
std::mutex gRun;

int Threads() {
    static const int threads = std::clamp(omp_get_max_threads(), 1, kMaxThreads);
    return threads;
}

}  // namespace

std::size_t SideBySideHelpers() { return static_cast<std::size_t>(Threads() - 1); }

void RunSideBySide(std::size_t count, const std::function<void(std::size_t)>& work) {
    if (count == 0) return;
    std::unique_lock run(gRun, std::defer_lock);
    if (count == 1 || tInside || Threads() == 1 || !run.try_lock()) {
        for (std::size_t i = 0; i < count; ++i) work(i);
        return;
    }
    // A team as large as the load average leaves room for: on cores that are
    // busy with other work, threads waiting for each other cost far more than
    // the split saves (see side_by_side.hpp). The setting is per thread.
    // TAV_OMP_STATIC=1 measures OpenMP with its fixed team instead.
    static const bool fixedTeam = std::getenv("TAV_OMP_STATIC") != nullptr;
    omp_set_dynamic(fixedTeam ? 0 : 1);
    const int threads = static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(Threads())));
    const auto n = static_cast<std::int64_t>(count);
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
    for (std::int64_t i = 0; i < n; ++i) {
        if (failed.load(std::memory_order_relaxed)) continue;
        tInside = true;
        try {
            work(static_cast<std::size_t>(i));
        } catch (...) {
#pragma omp critical(tav_side_by_side_failure)
            if (!failure) failure = std::current_exception();
            failed = true;
        }
        tInside = false;
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tav
