// The window layer as the system behaves: windows answer on their own
// threads, are destroyed children first, close from the close box, activate
// with WM_ACTIVATEAPP only across programs, and pass keys through per-thread
// hooks.

#include <gtest/gtest.h>

#include <atomic>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/Keyboard.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"
#include "compat/browser/tests/UiThread.h"
#include "testing/RuntimeFolderTest.h"

namespace {

using compat::testing::MessageLog;
using compat::testing::Seen;
using compat::testing::UiThread;
using namespace compat;

class WindowModel : public ovix::testing::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        activateOtherApplication();
    }
    // A top-level window of `ui` whose messages `m_log` keeps.
    WindowHandle popup(UiThread& ui, std::string_view title) {
        WindowHandle window = 0;
        ui.run([&] {
            window = CreateWindowEx(0, "Popup", title, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 300, 200, 0, 0,
                                    m_log.procedure());
        });
        return window;
    }
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> activations(WindowHandle window) const {
        std::vector<std::pair<std::uint32_t, std::uintptr_t>> found;
        for (const Seen& seen : m_log.of(window, {WM_ACTIVATE, WM_ACTIVATEAPP}))
            found.emplace_back(seen.message, seen.wParam);
        return found;
    }

    MessageLog m_log;
};

TEST_F(WindowModel, WindowsAnswerOnTheirOwnThreadWithTheSystemDefaults) {
    UiThread ui;
    WindowHandle top = 0;
    WindowHandle child = 0;
    ui.run([&] {
        top = CreateWindowEx(0, "Top", "first", WS_POPUP, 100, 50, 300, 200, 0, 7, m_log.procedure());
        child = CreateWindowEx(0, "Child", "", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, top, 3, m_log.procedure());
    });
    ASSERT_NE(child, 0u);
    EXPECT_EQ(CreateWindowEx(0, "Orphan", "", WS_CHILD, 0, 0, 1, 1, 0x7777, 0), 0u);

    // Children sit in their parent's client area; the parent is hidden.
    const auto state = windowState(child);
    EXPECT_EQ(state->screenRect, (Rect{110, 70, 140, 110}));
    EXPECT_EQ(state->thread, ui.id());
    EXPECT_EQ(GetParent(child), top);
    EXPECT_TRUE(IsChild(top, child));
    EXPECT_FALSE(IsWindowVisible(child));
    Point point{115, 75};
    ASSERT_TRUE(ScreenToClient(child, point));
    EXPECT_EQ(point.x, 5);
    EXPECT_EQ(point.y, 5);

    // A message sent from this thread runs on the window's.
    SendMessage(top, WM_USER + 1, 2, 3);
    const auto sent = m_log.of(top, {WM_USER + 1});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].thread, ui.id());

    // The defaults keep icons and text; a resize, and only a resize, sends
    // WM_SIZE with the client size.
    EXPECT_EQ(SendMessage(top, WM_SETICON, ICON_SMALL, 0x77), 0);
    EXPECT_EQ(SendMessage(top, WM_GETICON, ICON_SMALL, 0), 0x77);
    EXPECT_EQ(SendMessage(top, WM_GETICON, ICON_BIG, 0), 0);
    ASSERT_TRUE(SetWindowText(top, "second"));
    EXPECT_EQ(GetWindowText(top), "second");
    MoveWindow(top, 0, 0, 300, 200, true);
    MoveWindow(top, 5, 5, 320, 240, true);
    const auto sizes = m_log.of(top, {WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].lParam, makeLParam(320, 240));
    Rect rect;
    ASSERT_TRUE(GetWindowRect(child, rect));
    EXPECT_EQ(rect, (Rect{15, 25, 45, 65}));

    // The close box: WM_SYSCOMMAND with the system's low bits, then WM_CLOSE,
    // which destroys the window: children before the window's last message.
    ASSERT_TRUE(clickCloseBox(top));
    const auto ending = m_log.all({WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY});
    ASSERT_EQ(ending.size(), 6u);
    EXPECT_EQ(ending[0].wParam & 0xFFF0, SC_CLOSE);
    EXPECT_NE(ending[0].wParam & 0xF, 0u);
    const std::vector<std::pair<WindowHandle, std::uint32_t>> expected{
        {top, WM_SYSCOMMAND}, {top, WM_CLOSE},       {top, WM_DESTROY},
        {child, WM_DESTROY},  {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ending[i].window, expected[i].first) << i;
        EXPECT_EQ(ending[i].message, expected[i].second) << i;
    }
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(clickCloseBox(top));
}

TEST_F(WindowModel, ThreadsThatSendToEachOtherAnswerWhileTheyWait) {
    UiThread first;
    UiThread second;
    WindowHandle a = 0;
    WindowHandle b = 0;
    // b's answer needs a's, asked while a's thread waits for b.
    first.run([&] {
        a = CreateWindowEx(0, "A", "", WS_POPUP, 0, 0, 1, 1, 0, 0,
                           [](WindowHandle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
                               return static_cast<std::intptr_t>(message == WM_USER ? wParam * 10 : 0);
                           });
    });
    second.run([&] {
        b = CreateWindowEx(0, "B", "", WS_POPUP, 0, 0, 1, 1, 0, 0,
                           [&a](WindowHandle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
                               return message == WM_USER ? SendMessage(a, WM_USER, wParam + 1, 0) : 0;
                           });
    });
    std::intptr_t answer = 0;
    first.run([&] { answer = SendMessage(b, WM_USER, 4, 0); });
    EXPECT_EQ(answer, 50);

    // What a task throws reaches its caller; a gone window runs nothing.
    EXPECT_THROW(runOnWindowThread(b, [] { throw std::runtime_error("from b"); }), std::runtime_error);
    second.run([&] { DestroyWindow(b); });
    bool ran = false;
    EXPECT_FALSE(runOnWindowThread(b, [&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST_F(WindowModel, ActivateAppOnlyWhenActivationCrossesPrograms) {
    UiThread threadA;
    UiThread threadB;
    const WindowHandle a = popup(threadA, "a");
    const WindowHandle b = popup(threadB, "b");
    const auto active = [](std::uintptr_t how) { return std::pair<std::uint32_t, std::uintptr_t>{WM_ACTIVATE, how}; };
    const auto app = [](std::uintptr_t on) { return std::pair<std::uint32_t, std::uintptr_t>{WM_ACTIVATEAPP, on}; };

    // From another program to a: the thread hears of it, and a gets the focus.
    threadA.run([&] { ShowWindow(a, SW_SHOW); });
    EXPECT_EQ(activations(a), (decltype(activations(a)){app(1), active(WA_ACTIVE)}));
    EXPECT_EQ(GetActiveWindow(), a);
    WindowHandle focus = 0;
    threadA.run([&] { focus = GetFocus(); });
    EXPECT_EQ(focus, a);

    // Between two windows of this process: WM_ACTIVATE only.
    m_log.clear();
    threadB.run([&] { ShowWindow(b, SW_SHOW); });
    ASSERT_TRUE(clickWindow(a));
    EXPECT_EQ(activations(a), (decltype(activations(a)){active(WA_INACTIVE), active(WA_CLICKACTIVE)}));
    EXPECT_EQ(activations(b), (decltype(activations(b)){active(WA_ACTIVE), active(WA_INACTIVE)}));

    // To another program and back.
    m_log.clear();
    activateOtherApplication();
    EXPECT_EQ(GetActiveWindow(), 0u);
    ASSERT_TRUE(clickWindow(b));
    EXPECT_EQ(activations(a), (decltype(activations(a)){active(WA_INACTIVE), app(0)}));
    EXPECT_EQ(activations(b), (decltype(activations(b)){app(1), active(WA_CLICKACTIVE)}));

    // The active window goes: the one active before it comes back.
    m_log.clear();
    threadB.run([&] { DestroyWindow(b); });
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(activations(a), (decltype(activations(a)){active(WA_ACTIVE)}));
}

// What the test's hooks saw: virtual key, key flags, whether GetKeyState
// showed the key down, and the pointer position.
struct HookCall {
    std::uintptr_t key;
    std::intptr_t flags;
    bool downInState;
    std::uint32_t position;
};
std::mutex g_hookMutex;
std::vector<std::string> g_hookOrder;
std::vector<HookCall> g_hookCalls;
std::atomic<bool> g_swallow{false};
HookHandle g_olderHook = 0;
HookHandle g_newerHook = 0;

std::intptr_t olderHook(int code, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard lock(g_hookMutex);
        g_hookOrder.push_back("older");
    }
    return g_swallow ? 1 : CallNextHookEx(g_olderHook, code, wParam, lParam);
}

std::intptr_t newerHook(int code, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard lock(g_hookMutex);
        g_hookOrder.push_back("newer");
        g_hookCalls.push_back(HookCall{wParam, lParam, GetKeyState(static_cast<int>(wParam)) < 0, GetMessagePos()});
    }
    return CallNextHookEx(g_newerHook, code, wParam, lParam);
}

TEST_F(WindowModel, KeysPassTheHooksOfTheActiveWindowsThreadThenReachItsFocus) {
    UiThread ui;
    UiThread other;
    const WindowHandle top = popup(ui, "top");
    WindowHandle field = 0;
    ui.run([&] {
        field = CreateWindowEx(0, "Field", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, 1, m_log.procedure());
        g_olderHook = SetWindowsHookEx(WH_KEYBOARD, olderHook, 0, currentThreadId());
        g_newerHook = SetWindowsHookEx(WH_KEYBOARD, newerHook, 0, currentThreadId());
    });
    // Another thread's hook never sees this thread's keys.
    other.run([] { SetWindowsHookEx(WH_KEYBOARD, [](int, std::uintptr_t, std::intptr_t) -> std::intptr_t {
                       ADD_FAILURE() << "hook of another thread";
                       return 0;
                   }, 0, currentThreadId()); });
    EXPECT_EQ(SetWindowsHookEx(3, olderHook, 0, ui.id()), 0u);
    EXPECT_EQ(pressKey('A'), KeyOutcome::NoActiveWindow);

    ASSERT_TRUE(clickWindow(field));
    SetCursorPos(-5, 7);
    EXPECT_EQ(pressKey('A'), KeyOutcome::Posted);
    ui.run([] {});
    g_swallow = true;
    EXPECT_EQ(pressKey(VK_TAB), KeyOutcome::Swallowed);
    g_swallow = false;
    EXPECT_EQ(pressKey('A', false), KeyOutcome::Posted);
    ui.run([] {});

    {
        std::lock_guard lock(g_hookMutex);
        EXPECT_EQ(g_hookOrder, (std::vector<std::string>{"newer", "older", "newer", "older", "newer", "older"}));
        ASSERT_EQ(g_hookCalls.size(), 3u);
        EXPECT_EQ(g_hookCalls[0].key, 'A');
        EXPECT_EQ(g_hookCalls[0].flags, 1);
        EXPECT_TRUE(g_hookCalls[0].downInState);
        EXPECT_EQ(static_cast<std::int16_t>(lowWord(g_hookCalls[0].position)), -5);
        EXPECT_EQ(static_cast<std::int16_t>(highWord(g_hookCalls[0].position)), 7);
        EXPECT_EQ(static_cast<std::uint32_t>(g_hookCalls[2].flags), 1u | 1u << 30 | 1u << 31);
        EXPECT_FALSE(g_hookCalls[2].downInState);
    }
    // What the hooks let through reached the focus window, the press with its
    // character; the swallowed Tab did not.
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> typed;
    for (const Seen& seen : m_log.of(field, {WM_KEYDOWN, WM_KEYUP, WM_CHAR}))
        typed.emplace_back(seen.message, seen.wParam);
    EXPECT_EQ(typed, (decltype(typed){{WM_KEYDOWN, 'A'}, {WM_CHAR, 'a'}, {WM_KEYUP, 'A'}}));

    ui.run([] {
        EXPECT_TRUE(UnhookWindowsHookEx(g_newerHook));
        EXPECT_TRUE(UnhookWindowsHookEx(g_olderHook));
        EXPECT_FALSE(UnhookWindowsHookEx(g_olderHook));
    });
}

}  // namespace
