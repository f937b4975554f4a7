#include "sgt/WorkTeam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace ovix {

namespace {

TEST(WorkTeam, EveryPartRunsOnceForEveryTask) {
    for (const unsigned helpers : {0u, 3u}) {
        WorkTeam team(helpers);
        EXPECT_EQ(team.helpers(), helpers);
        for (int task = 0; task < 300; ++task) {
            const std::size_t parts = static_cast<std::size_t>(task % 7 == 0 ? task * 3 : task % 5);
            std::vector<std::atomic<int>> runs(parts);
            team.run(parts, [&](std::size_t i) { runs[i].fetch_add(1); });
            for (std::size_t i = 0; i < parts; ++i)
                ASSERT_EQ(runs[i].load(), 1) << helpers << " helpers, task " << task << ", part " << i;
        }
    }
}

// Two parts that each wait for the other to start: they finish only when two
// threads take them at once.
TEST(WorkTeam, HelpersTakePartsBesideTheCaller) {
    WorkTeam team(2);
    std::mutex mutex;
    std::condition_variable started;
    int running = 0;
    std::set<std::thread::id> threads;
    bool together = true;
    team.run(2, [&](std::size_t) {
        std::unique_lock lock(mutex);
        ++running;
        threads.insert(std::this_thread::get_id());
        started.notify_all();
        together = started.wait_for(lock, std::chrono::seconds(30), [&] { return running == 2; }) && together;
    });
    EXPECT_TRUE(together);
    EXPECT_EQ(threads.size(), 2u);
}

}  // namespace

}  // namespace ovix
