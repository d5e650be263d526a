// Runs independent pieces of work on the processor's cores: a few threads
// started once and kept, so that each run finds them ready on their cores,
// take the next piece with the calling thread until none is left.
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
