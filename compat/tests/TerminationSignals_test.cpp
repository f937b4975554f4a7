#include "compat/TerminationSignals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "compat/tests/ScratchFolder.h"

namespace {

TEST(TerminationSignals, ARequestToEndIsACallOnItsOwnThreadNotTheEnd) {
    std::atomic<int> last{0};
    std::atomic<int> calls{0};
    std::thread::id caller;
    {
        compat::TerminationSignals signals([&](int signal) {
            caller = std::this_thread::get_id();
            last = signal;
            ++calls;
        });
        // Threads started afterwards leave the signals to it too.
        std::thread([] { kill(getpid(), SIGTERM); }).join();
        ASSERT_TRUE(ovix::testing::eventually([&] { return calls == 1; }));
        EXPECT_EQ(last, SIGTERM);
        EXPECT_NE(caller, std::this_thread::get_id());
        kill(getpid(), SIGHUP);
        ASSERT_TRUE(ovix::testing::eventually([&] { return calls == 2; }));
        EXPECT_EQ(last, SIGHUP);
    }
    // Its end gives the signals back to their default.
    sigset_t blocked;
    pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    EXPECT_FALSE(sigismember(&blocked, SIGTERM));
    EXPECT_FALSE(sigismember(&blocked, SIGINT));
}

}  // namespace
