#include "features/FidsLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>

#include "base/BlockingWait.h"

namespace ovix {

namespace {

std::atomic<int> g_released{0};
std::atomic<int> g_reacquired{0};
int g_token;

struct CountingHooks {
    CountingHooks() {
        g_released = g_reacquired = 0;
        ovix::installBlockingWaitHooks({[]() -> void* {
                                            ++g_released;
                                            return &g_token;
                                        },
                                        [](void* token) {
                                            EXPECT_EQ(token, &g_token);
                                            ++g_reacquired;
                                        }});
    }
    ~CountingHooks() { ovix::installBlockingWaitHooks({nullptr, nullptr}); }
};

TEST(FidsLock, IsReentrantForItsOwner) {
    FidsLock lock;
    lock.lock();
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
    lock.unlock();
    EXPECT_THROW(lock.unlock(), std::logic_error);
}

TEST(FidsLock, OtherThreadsWaitOutsideTheHostLock) {
    CountingHooks hooks;
    FidsLock lock;
    lock.lock();
    lock.lock();
    EXPECT_EQ(g_released, 0);  // no wait, no release

    auto other = std::async(std::launch::async, [&] {
        EXPECT_FALSE(lock.try_lock());
        lock.lock();
        lock.unlock();
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_EQ(g_released, 1);
    EXPECT_EQ(g_reacquired, 0);
    lock.unlock();
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    lock.unlock();
    other.get();
    EXPECT_EQ(g_reacquired, 1);
}

// A section that had to wait takes the host's lock back only once the lock is
// free again: no one queues for the lock behind a holder that waits for the
// host's lock.
TEST(FidsLock, SectionTakesTheHostLockBackOnlyAfterGivingTheLockUp) {
    static FidsLock lock;
    static std::atomic<int> freeAtReacquire{-1};
    ovix::installBlockingWaitHooks({[]() -> void* { return &g_token; },
                                    [](void*) {
                                        // Asked from a third thread: the waiter's own try_lock would re-enter.
                                        freeAtReacquire = std::async(std::launch::async, [] {
                                                              const bool free = lock.try_lock();
                                                              if (free)
                                                                  lock.unlock();
                                                              return free;
                                                          }).get();
                                    }});
    lock.lock();
    auto waiter = std::async(std::launch::async, [] { const FidsLock::Section section(lock); });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    lock.unlock();
    waiter.get();
    ovix::installBlockingWaitHooks({nullptr, nullptr});
    EXPECT_EQ(freeAtReacquire, 1);
}

TEST(FidsLock, AnotherThreadCanGiveBackTheOwnersLevel) {
    FidsLock lock;
    lock.lock();
    const auto owner = std::this_thread::get_id();
    std::async(std::launch::async, [&] {
        EXPECT_THROW(lock.unlock(), std::logic_error);
        lock.unlockFor(std::thread::id());  // not the owner: no change
        EXPECT_FALSE(lock.try_lock());
        lock.unlockFor(owner);
        EXPECT_TRUE(lock.try_lock());
        lock.unlock();
    }).get();
}

}  // namespace

}  // namespace ovix
