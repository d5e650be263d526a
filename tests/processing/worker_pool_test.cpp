#include "processing/worker_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tav {
namespace {

// Every part runs exactly once per call, whether the helpers take it, the
// caller does, or (with the helpers busy for another caller, or from inside a
// part) the caller runs them all itself.
TEST(WorkerPool, EveryPartRunsOnceWithSeveralCallersAndNestedCalls) {
    WorkerPool pool(3);
    EXPECT_EQ(pool.Threads(), 4);
    constexpr int kCallers = 4, kRounds = 40, kParts = 37;
    std::vector<std::atomic<int>> runs(kCallers * kParts);
    std::atomic<int> nested{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c)
        callers.emplace_back([&, c] {
            for (int round = 0; round < kRounds; ++round)
                pool.Run(kParts, [&](std::int64_t k) {
                    ++runs[static_cast<std::size_t>(c * kParts + k)];
                    if (k == 5) pool.Run(3, [&](std::int64_t) { ++nested; });
                });
        });
    for (auto& t : callers) t.join();
    for (const auto& r : runs) ASSERT_EQ(r.load(), kRounds);
    EXPECT_EQ(nested.load(), kCallers * kRounds * 3);

    int none = 0;
    pool.Run(0, [&](std::int64_t) { ++none; });
    EXPECT_EQ(none, 0);
    WorkerPool alone(0);
    std::vector<std::int64_t> order;
    alone.Run(4, [&](std::int64_t k) { order.push_back(k); });
    EXPECT_EQ(order, (std::vector<std::int64_t>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace tav
