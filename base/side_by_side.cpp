#include "base/side_by_side.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tav {

namespace {

constexpr unsigned kMaxThreads = 8;
constexpr std::chrono::microseconds kWatch{100};

class Helpers {
public:
    Helpers() {
        count_ = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads) - 1;
        for (std::size_t t = 0; t < count_; ++t) threads_.emplace_back([this] { Serve(); });
    }
    ~Helpers() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }

    std::size_t Count() const { return count_; }

    // False when another run has the helpers: the caller then works alone.
    bool Run(std::size_t count, const std::function<void(std::size_t)>& work) {
        if (tInside) return false;  // a piece of a run: this thread goes on alone
        std::unique_lock runLock(runMutex_, std::try_to_lock);
        if (!runLock.owns_lock()) return false;
        tInside = true;
        struct Leave {
            ~Leave() { tInside = false; }
        } leave;
        {
            const std::lock_guard lock(mutex_);
            work_ = &work;
            count_of_run_ = count;
            next_ = 0;
            failure_ = nullptr;
            ++generation_;
            posted_ = generation_;
        }
        wake_.notify_all();
        Take();
        // Every piece has been handed out; wait for those still running on a
        // helper, but not for helpers that have yet to wake up: they find
        // the run over and go back to sleep.
        WatchFor([this] { return busy_.load() == 0; });
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return busy_ == 0; });
        work_ = nullptr;
        count_of_run_ = 0;
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
        return true;
    }

private:
    void Serve() {
        tInside = true;
        std::uint64_t seen = 0;
        for (;;) {
            WatchFor([&] { return posted_.load() != seen; });
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
                if (stopping_) return;
                seen = generation_;
                if (work_ == nullptr || next_ >= count_of_run_) continue;  // woke after the run
                ++busy_;
            }
            Take();
            const std::lock_guard lock(mutex_);
            if (--busy_ == 0) done_.notify_all();
        }
    }

    // Waking a sleeping thread costs a system call on one side and a
    // scheduling round on the other, on some machines longer than a filter
    // pass; runs often follow each other closely (a record's passes, the
    // records of a file). So a thread watches a little while for what it
    // waits for before going to sleep.
    // It yields its core now and then, so that a thread it shares the core
    // with (the caller itself, where the program is held to one core) goes on.
    template <typename Ready>
    static void WatchFor(const Ready& ready) {
        const auto until = std::chrono::steady_clock::now() + kWatch;
        while (!ready()) {
            for (int i = 0; i < 64; ++i) Relax();
            if (std::chrono::steady_clock::now() >= until) return;
            std::this_thread::yield();
        }
    }
    static void Relax() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    void Take() {
        for (std::size_t i = next_++; i < count_of_run_; i = next_++) {
            try {
                (*work_)(i);
            } catch (...) {
                const std::lock_guard lock(mutex_);
                if (!failure_) failure_ = std::current_exception();
                next_ = count_of_run_;
            }
        }
    }

    // Set on the helpers, and on a caller while its run lasts.
    static thread_local bool tInside;

    std::size_t count_ = 0;
    std::vector<std::thread> threads_;
    std::mutex runMutex_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    bool stopping_ = false;
    std::uint64_t generation_ = 0;
    std::atomic<std::size_t> busy_{0};      // helpers inside Take() for the current run (changed under mutex_)
    std::atomic<std::uint64_t> posted_{0};  // generation_, for watching without the mutex
    const std::function<void(std::size_t)>* work_ = nullptr;
    std::size_t count_of_run_ = 0;
    std::atomic<std::size_t> next_{0};
    std::exception_ptr failure_;
};

thread_local bool Helpers::tInside = false;

Helpers& SharedHelpers() {
    static Helpers helpers;
    return helpers;
}

}  // namespace

std::size_t SideBySideHelpers() { return SharedHelpers().Count(); }

void RunSideBySide(std::size_t count, const std::function<void(std::size_t)>& work) {
    if (count == 0) return;
    if (count > 1 && SideBySideHelpers() > 0 && SharedHelpers().Run(count, work)) return;
    for (std::size_t i = 0; i < count; ++i) work(i);
}

}  // namespace tav
