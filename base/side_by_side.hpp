// Runs independent pieces of work on the processor's cores: a few threads
// started once and kept, so that each run finds them ready on their cores,
// take the next piece with the calling thread until none is left.
//
// Why not OpenMP (libgomp): measured on the two-core machine we build on with
// tav_bench_workers_pool against tav_bench_workers_openmp (bench/CMakeLists.txt),
// medians of alternated runs. On idle cores OpenMP's fixed team ties this pool
// (convolution of 16,384 samples with 167 taps 73 µs both, 8,191 taps 1.44 ms
// both; project load 5.8-7.1 ms against 6.6-7.2 ms). On cores busy with other
// work its waiting threads spin: the 167-tap convolution took 23 ms against
// 0.27 ms here. Its dynamic teams avoid the spinning by sizing the team from
// the load average, which keeps it at one thread long after the machine is
// quiet again: 125 µs and 2.8 ms on idle cores, twice this pool. A desktop
// shares its cores with whatever else the engineer runs, so the pool stays.
#pragma once

#include <cstddef>
#include <functional>

namespace tav {

// Calls work(i) once for each i in 0..count-1, in no particular order and on
// several threads; returns when all are done. The first exception a piece
// throws is thrown again here, after every piece has stopped. While the
// threads serve another run (or when called from one of them), the calling
// thread does all the pieces itself.
void RunSideBySide(std::size_t count, const std::function<void(std::size_t)>& work);

// Threads a run uses besides the calling one.
std::size_t SideBySideHelpers();

}  // namespace tav
