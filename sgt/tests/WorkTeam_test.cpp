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

// Helpers that look for work before they sleep, and helpers that sleep at
// once and must be woken for every task, as must the caller that waits for
// their parts.
const std::chrono::nanoseconds kSpins[] = {WorkTeam::kSpin, std::chrono::nanoseconds(0)};

TEST(WorkTeam, EveryPartRunsOnceForEveryTask) {
    for (const auto spin : kSpins) {
        for (const unsigned helpers : {0u, 3u}) {
            WorkTeam team(helpers, {.spin = spin});
            EXPECT_EQ(team.helpers(), helpers);
            for (int task = 0; task < 300; ++task) {
                const std::size_t parts = static_cast<std::size_t>(task % 7 == 0 ? task * 3 : task % 5);
                std::vector<std::atomic<int>> runs(parts);
                team.run(
                    parts, [&](std::size_t i) { runs[i].fetch_add(1); }, task % 2 == 1);
                for (std::size_t i = 0; i < parts; ++i)
                    ASSERT_EQ(runs[i].load(), 1)
                        << helpers << " helpers, spin " << spin.count() << " ns, task " << task << ", part " << i;
            }
        }
    }
}

// Parts that each wait for all the others to start: a task finishes only when
// every thread of the team takes a part at once, so every helper, asleep or
// looking, is reached by every task (none is shed: a helper that the system
// stops inside its part would otherwise be taken out of the next tasks).
TEST(WorkTeam, EveryHelperTakesPartsBesideTheCaller) {
    for (const auto spin : kSpins) {
        WorkTeam team(3, {.spin = spin, .crowded = [] { return false; }});
        for (int task = 0; task < 50; ++task) {
            std::mutex mutex;
            std::condition_variable started;
            std::size_t running = 0;
            std::set<std::thread::id> threads;
            bool together = true;
            team.run(4, [&](std::size_t) {
                std::unique_lock lock(mutex);
                ++running;
                threads.insert(std::this_thread::get_id());
                started.notify_all();
                together = started.wait_for(lock, std::chrono::seconds(30), [&] { return running == 4; }) && together;
            });
            ASSERT_TRUE(together) << "spin " << spin.count() << " ns, task " << task;
            ASSERT_EQ(threads.size(), 4u) << "spin " << spin.count() << " ns, task " << task;
        }
    }
}

// On a crowded machine a task is first tried by the caller: one that would
// take it less than kWorthSharing stays with it whole, a longer one goes on
// with the helpers from the part it tried; either way every part runs once.
// Each short task follows a long one, whose helpers still look for work as
// it comes and would take their shares of it if it were handed out.
TEST(WorkTeam, ACrowdedMachineKeepsShortTasksToTheCallerAndRunsEveryPartOnce) {
    WorkTeam team(3, {.crowded = [] { return true; }});
    const std::size_t parts = 4;
    const auto longPart = std::chrono::microseconds(WorkTeam::kWorthSharing) / parts * 2;
    for (const bool backwards : {false, true}) {
        for (const bool isLong : {true, false}) {
            std::vector<std::atomic<int>> runs(parts);
            std::mutex mutex;
            std::set<std::thread::id> threads;
            team.run(
                parts,
                [&](std::size_t i) {
                    runs[i].fetch_add(1);
                    if (isLong)
                        std::this_thread::sleep_for(longPart);
                    const std::lock_guard lock(mutex);
                    threads.insert(std::this_thread::get_id());
                },
                backwards);
            for (std::size_t i = 0; i < parts; ++i)
                ASSERT_EQ(runs[i].load(), 1) << "long " << isLong << ", backwards " << backwards << ", part " << i;
            if (!isLong) {
                EXPECT_EQ(threads, std::set{std::this_thread::get_id()}) << "backwards " << backwards;
            }
        }
    }
}

}  // namespace

}  // namespace ovix
