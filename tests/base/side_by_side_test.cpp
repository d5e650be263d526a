#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/side_by_side.hpp"

namespace tav {
namespace {

TEST(SideBySide, EveryPieceRunsOnceAndAFailureComesBackAfterAllStopped) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{1000}}) {
        std::vector<std::atomic<int>> runs(count);
        RunSideBySide(count, [&](std::size_t i) { ++runs[i]; });
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i], 1) << count << " pieces, piece " << i;
    }

    std::atomic<int> running{0};
    EXPECT_THROW(RunSideBySide(200,
                               [&](std::size_t i) {
                                   ++running;
                                   if (i == 17) {
                                       --running;
                                       throw std::runtime_error("piece 17");
                                   }
                                   --running;
                               }),
                 std::runtime_error);
    EXPECT_EQ(running, 0) << "no piece still running when the failure is reported";

    // The threads are free again after a failure.
    std::atomic<int> after{0};
    RunSideBySide(50, [&](std::size_t) { ++after; });
    EXPECT_EQ(after, 50);
}

TEST(SideBySide, RunsFromSeveralThreadsAndFromInsideAPieceFinish) {
    // A piece that runs side by side again (a filter inside a record being
    // read) and callers on other threads (the window's worker) must not wait
    // on each other forever.
    std::atomic<int> inner{0};
    auto nested = [&] {
        RunSideBySide(8, [&](std::size_t) { RunSideBySide(10, [&](std::size_t) { ++inner; }); });
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) callers.emplace_back(nested);
    nested();
    for (auto& c : callers) c.join();
    EXPECT_EQ(inner, 4 * 8 * 10);
}

}  // namespace
}  // namespace tav
