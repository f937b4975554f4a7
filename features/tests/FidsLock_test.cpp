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
