#include "compat/ipc/MessageQueue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "compat/ipc/MessageWindow.h"
#include "compat/system/XdgFolders.h"
#include "testing/RuntimeFolderTest.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;

class MessageQueueTest : public ovix::testing::RuntimeFolderTest {};

TEST_F(MessageQueueTest, RuntimeFolderIsPrivateAndSocketsAreNamedByThread) {
    ASSERT_TRUE(compat::ensureMessageQueue());
    struct stat info;
    ASSERT_EQ(stat(compat::runtimeFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::exists(compat::runtimeFolder() / std::to_string(compat::currentThreadId())));

    // A folder that someone else could enter is closed again.
    ASSERT_EQ(chmod(compat::runtimeFolder().c_str(), 0755), 0);
    EXPECT_TRUE(compat::ensureRuntimeFolder());
    ASSERT_EQ(stat(compat::runtimeFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(MessageQueueTest, PostsReachOnlyThreadsThatHaveAQueue) {
    std::promise<compat::ThreadId> id;
    std::promise<void> madeQueue, posted;
    std::promise<compat::Message> received;
    std::thread worker([&] {
        id.set_value(compat::currentThreadId());
        madeQueue.get_future().wait();
        compat::ensureMessageQueue();
        posted.set_value();
        compat::Message message;
        compat::GetMessage(message);
        received.set_value(message);
    });
    const auto thread = id.get_future().get();
    errno = 0;
    EXPECT_FALSE(compat::PostThreadMessage(thread, compat::WM_USER, 1, 2));
    EXPECT_NE(errno, 0);
    madeQueue.set_value();
    posted.get_future().wait();
    EXPECT_TRUE(compat::PostThreadMessage(thread, compat::WM_USER, 3, -4));
    const auto message = received.get_future().get();
    EXPECT_EQ(message.message, compat::WM_USER);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_EQ(message.lParam, -4);
    worker.join();
    // Its queue ended with the thread.
    EXPECT_FALSE(compat::PostThreadMessage(thread, compat::WM_USER, 5, 6));
    EXPECT_FALSE(std::filesystem::exists(compat::runtimeFolder() / std::to_string(thread)));
    EXPECT_FALSE(compat::PostThreadMessage(0, compat::WM_USER, 0, 0));
}

TEST_F(MessageQueueTest, PostedMessagesComeInOrderBeforeQuitAndTimers) {
    const unsigned timer = compat::SetTimer(0, 0, 10);
    ASSERT_NE(timer, 0u);
    compat::Message message;
    ASSERT_TRUE(ovix::testing::eventually([&] { return compat::PeekMessage(message, false); }));  // the timer is due
    compat::PostQuitMessage(7);
    for (std::uintptr_t i = 0; i < 100; ++i)
        ASSERT_TRUE(compat::PostThreadMessage(compat::currentThreadId(), compat::WM_USER, i, 0));
    for (std::uintptr_t i = 0; i < 100; ++i) {
        ASSERT_EQ(compat::GetMessage(message), 1);
        EXPECT_EQ(message.wParam, i);
    }
    EXPECT_EQ(compat::GetMessage(message), 0);
    EXPECT_EQ(message.message, compat::WM_QUIT);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(compat::GetMessage(message), 1);
    EXPECT_EQ(message.message, compat::WM_TIMER);
    EXPECT_EQ(message.wParam, timer);
    EXPECT_TRUE(compat::KillTimer(0, timer));
    EXPECT_FALSE(compat::KillTimer(0, timer));
}

TEST_F(MessageQueueTest, ATimerThatNobodyServesGivesOneMessage) {
    const unsigned timer = compat::SetTimer(0, 0, 20);
    // Twelve periods go by unserved: the sleep is the time that passes.
    std::this_thread::sleep_for(250ms);
    compat::Message message;
    ASSERT_TRUE(compat::PeekMessage(message, false));
    ASSERT_TRUE(compat::PeekMessage(message, true));
    EXPECT_EQ(message.message, compat::WM_TIMER);
    EXPECT_FALSE(compat::PeekMessage(message, true));
    // Restarting by id keeps the id; a stopped timer stays quiet.
    EXPECT_EQ(compat::SetTimer(0, timer, 20), timer);
    compat::KillTimer(0, timer);
    // Quiet over two periods and more: the sleep is the span checked.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(compat::PeekMessage(message, true));
}

TEST_F(MessageQueueTest, WindowsGetTheirMessagesThroughTheirProcedure) {
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> seen;
    const auto window = compat::CreateMessageWindow(
        [&](compat::WindowHandle w, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            seen.emplace_back(message, wParam);
            return compat::DefWindowProc(w, message, wParam, lParam);
        });
    ASSERT_NE(window, 0u);
    EXPECT_EQ(compat::windowThread(window), compat::currentThreadId());
    ASSERT_NE(compat::SetTimer(window, 9, 10), 0u);

    // A window's message comes from another thread too.
    std::thread([&] { EXPECT_TRUE(compat::PostMessage(window, compat::WM_COMMAND, 32773, 0)); }).join();
    compat::Message message;
    ASSERT_EQ(compat::GetMessage(message), 1);
    EXPECT_EQ(message.window, window);
    compat::DispatchMessage(message);
    ASSERT_EQ(compat::GetMessage(message), 1);
    EXPECT_EQ(message.message, compat::WM_TIMER);
    compat::DispatchMessage(message);

    ASSERT_TRUE(compat::PostMessage(window, compat::WM_CLOSE, 0, 0));
    ASSERT_EQ(compat::GetMessage(message), 1);
    compat::DispatchMessage(message);
    EXPECT_FALSE(compat::IsWindow(window));
    EXPECT_FALSE(compat::PostMessage(window, compat::WM_USER, 0, 0));
    EXPECT_EQ(compat::DispatchMessage(compat::Message{window, compat::WM_USER, 0, 0}), 0);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(compat::WM_COMMAND, std::uintptr_t{32773}));
    EXPECT_EQ(seen[1], std::make_pair(compat::WM_TIMER, std::uintptr_t{9}));
    EXPECT_EQ(seen[2].first, compat::WM_CLOSE);
    EXPECT_EQ(seen[3].first, compat::WM_DESTROY);

    // The window's timer went with it: quiet over three of its periods, the
    // span that the sleep is.
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(compat::PeekMessage(message, true));
}

TEST_F(MessageQueueTest, OnlyTheOwnerMayDestroyOrTimeAWindow) {
    const auto window = compat::CreateMessageWindow(nullptr);
    std::thread([&] {
        EXPECT_FALSE(compat::DestroyWindow(window));
        EXPECT_EQ(compat::SetTimer(window, 1, 100), 0u);
    }).join();
    EXPECT_TRUE(compat::DestroyWindow(window));
    EXPECT_FALSE(compat::DestroyWindow(window));
}

}  // namespace
