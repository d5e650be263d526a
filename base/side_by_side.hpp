// Runs independent pieces of work on the processor's cores, on OpenMP's
// threads (GCC's libgomp). Used by the long filter convolutions and by the
// project loader, which reads batches of records side by side.
//
// This replaced a hand-written pool (threads kept, watching a while for work
// before sleeping). Compared on those two uses on the 2-core development
// machine while others compiled on it (load 4 to 9; medians of 5 to 6 runs
// taken in turn), OpenMP out of the box lost badly: its threads spin while
// they wait for each other, and on busy cores a 16,384-sample convolution
// with 167 taps took 23 ms against the pool's 0.27 ms, and loading a project
// 4.6 times as long. With teams sized by the load average (omp_set_dynamic,
// which RunSideBySide sets) it was as fast as the pool or faster: 167 taps
// 0.13 ms both, 501 taps 0.34 ms both, 8,191 taps 2.80 ms against 2.82 ms,
// the load 1.88 times a plain read of the file against 1.90, with a fifth
// less processor time. So keep the dynamic setting.
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

// Threads a run may use besides the calling one.
std::size_t SideBySideHelpers();

}  // namespace tav
