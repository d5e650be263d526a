// A few threads, started once, that share one long computation with the
// thread that asks for it (a long filter over a whole record, for instance).
// The work is cut into parts that are handed out one at a time, so a core that
// is busy with something else simply takes fewer of them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tav {

class WorkerPool {
public:
    // The pool of the whole program: one helper per processor beyond the first
    // (std::thread::hardware_concurrency), started on first use.
    static WorkerPool& Shared();

    explicit WorkerPool(int helpers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads that can work on one call of Run: the helpers and the caller.
    int Threads() const { return static_cast<int>(helpers_.size()) + 1; }

    // Calls part(k) once for every k in [0, parts) and returns when every call
    // has returned. The calling thread takes parts too. Any thread may call
    // Run, also several at once: while the helpers work for one caller, another
    // caller (or a part that calls Run itself) runs all its parts on its own
    // thread. part must not throw.
    void Run(std::int64_t parts, const std::function<void(std::int64_t)>& part);

private:
    void Serve();
    // Takes parts of the current job until none is left; true when this
    // thread finished the job's last part.
    bool TakeParts(std::unique_lock<std::mutex>& lock);

    std::mutex owner_;  // held by the caller whose job the helpers serve
    std::mutex state_;
    std::condition_variable wake_;  // a job was posted, or the pool stops
    std::condition_variable done_;  // the job's last part returned
    const std::function<void(std::int64_t)>* job_ = nullptr;
    std::int64_t parts_ = 0, next_ = 0, finished_ = 0;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace tav
