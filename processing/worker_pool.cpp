#include "processing/worker_pool.hpp"

#include <algorithm>

namespace tav {

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool(std::max(1, static_cast<int>(std::thread::hardware_concurrency())) - 1);
    return pool;
}

WorkerPool::WorkerPool(int helpers) {
    helpers_.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    for (int i = 0; i < helpers; ++i) helpers_.emplace_back([this] { Serve(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(state_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : helpers_) t.join();
}

bool WorkerPool::TakeParts(std::unique_lock<std::mutex>& lock) {
    bool last = false;
    while (next_ < parts_) {
        const std::int64_t k = next_++;
        const auto* job = job_;
        lock.unlock();
        (*job)(k);
        lock.lock();
        last = ++finished_ == parts_;
    }
    return last;
}

void WorkerPool::Serve() {
    std::uint64_t seen = 0;
    std::unique_lock lock(state_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        if (TakeParts(lock)) done_.notify_all();
    }
}

void WorkerPool::Run(std::int64_t parts, const std::function<void(std::int64_t)>& part) {
    std::unique_lock owner(owner_, std::try_to_lock);
    if (parts < 2 || helpers_.empty() || !owner.owns_lock()) {
        for (std::int64_t k = 0; k < parts; ++k) part(k);
        return;
    }
    std::unique_lock lock(state_);
    job_ = &part;
    parts_ = parts;
    next_ = 0;
    finished_ = 0;
    ++generation_;
    wake_.notify_all();
    TakeParts(lock);
    done_.wait(lock, [&] { return finished_ == parts_; });
    job_ = nullptr;
    parts_ = 0;
    next_ = 0;
}

}  // namespace tav
