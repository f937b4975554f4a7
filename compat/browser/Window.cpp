#include "compat/browser/Window.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/WindowClass.h"
#include "compat/browser/WindowInternals.h"

namespace compat {

namespace {

// The low bits that the system sets in a close box's WM_SYSCOMMAND.
constexpr std::uintptr_t kCloseBoxLowBits = 0x3;

struct WindowRecord {
    WindowHandle handle = 0;
    ThreadId thread = 0;
    std::string className;
    std::string text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int id = 0;
    WindowHandle parent = 0;
    Rect rect;  // in the parent's client area for a child, on the screen otherwise
    bool visible = false;
    IconHandle smallIcon = 0;
    IconHandle bigIcon = 0;
    // Set once at creation, read without the lock.
    WindowProcedure procedure;
    std::shared_ptr<WindowClassBehavior> behavior;
};

struct Desktop {
    std::mutex mutex;
    std::map<WindowHandle, std::shared_ptr<WindowRecord>> windows;  // by handle: in creation order
    Rect workArea{0, 0, 1024, 768};
};

// Never destroyed: threads may use windows while the process exits.
Desktop& desktop() {
    static auto* d = new Desktop;
    return *d;
}

// The record of a live window (desktop locked); a window whose thread ended
// without destroying it is forgotten here.
std::shared_ptr<WindowRecord> findLocked(Desktop& d, WindowHandle window) {
    auto found = d.windows.find(window);
    if (found == d.windows.end())
        return nullptr;
    if (!IsWindow(window)) {
        d.windows.erase(found);
        return nullptr;
    }
    return found->second;
}

std::shared_ptr<WindowRecord> find(WindowHandle window) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    return findLocked(d, window);
}

bool isChildRecord(const WindowRecord& record) {
    return (record.style & WS_CHILD) != 0;
}

// Where the window's client area starts on the screen (desktop locked).
Point originLocked(Desktop& d, const WindowRecord& record) {
    Point origin{record.rect.left, record.rect.top};
    if (isChildRecord(record)) {
        if (auto parent = findLocked(d, record.parent)) {
            const Point above = originLocked(d, *parent);
            origin.x += above.x;
            origin.y += above.y;
        }
    }
    return origin;
}

std::vector<WindowHandle> childrenOf(WindowHandle parent) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    std::vector<WindowHandle> children;
    for (const auto& [handle, record] : d.windows) {
        if (record->parent == parent && isChildRecord(*record))
            children.push_back(handle);
    }
    return children;
}

std::intptr_t deliver(const WindowRecord& record, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return record.procedure ? record.procedure(record.handle, message, wParam, lParam)
                            : DefWindowProc(record.handle, message, wParam, lParam);
}

// The rest of DestroyWindow, from its WM_DESTROY: children go, then the
// window's last message, then its record.
void finishDestroying(const std::shared_ptr<WindowRecord>& record) {
    const WindowHandle window = record->handle;
    windowLeaving(window);
    {
        std::lock_guard lock(desktop().mutex);
        record->visible = false;
    }
    deliver(*record, WM_DESTROY, 0, 0);
    for (WindowHandle child : childrenOf(window)) {
        if (windowThread(child) == currentThreadId())
            DestroyWindow(child);
        else
            runOnWindowThread(child, [child] { DestroyWindow(child); });
    }
    deliver(*record, WM_NCDESTROY, 0, 0);
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    d.windows.erase(window);
}

// The procedure that the message window runs for every window made here.
std::intptr_t route(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kHandedTaskMessage) {
        runHandedTask();
        return 0;
    }
    auto record = find(window);
    if (!record)
        return 0;
    if (message == WM_DESTROY) {
        finishDestroying(record);
        return 0;
    }
    return deliver(*record, message, wParam, lParam);
}

// What DefWindowProc does for a window made here.
std::intptr_t defaults(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    auto record = find(window);
    if (!record)
        return 0;
    if (record->behavior) {
        if (auto answer = record->behavior->handle(window, message, wParam, lParam))
            return *answer;
    }
    switch (message) {
    case WM_GETICON: {
        std::lock_guard lock(desktop().mutex);
        return static_cast<std::intptr_t>(wParam == ICON_BIG ? record->bigIcon : record->smallIcon);
    }
    case WM_SETICON: {
        std::lock_guard lock(desktop().mutex);
        auto& slot = wParam == ICON_BIG ? record->bigIcon : record->smallIcon;
        return static_cast<std::intptr_t>(std::exchange(slot, static_cast<IconHandle>(lParam)));
    }
    case WM_SETTEXT: {
        std::lock_guard lock(desktop().mutex);
        record->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        return 1;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_ACTIVATE:
        if (lowWord(wParam) != WA_INACTIVE)
            SetFocus(window);
        return 0;
    default:
        return 0;
    }
}

}  // namespace

bool isDesktopWindow(WindowHandle window) {
    return find(window) != nullptr;
}

bool isTopLevelWindow(WindowHandle window) {
    auto record = find(window);
    return record && !isChildRecord(*record);
}

WindowHandle rootWindow(WindowHandle window) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    auto record = findLocked(d, window);
    while (record && isChildRecord(*record)) {
        auto parent = findLocked(d, record->parent);
        if (!parent)
            break;
        record = parent;
    }
    return record ? record->handle : 0;
}

std::vector<WindowHandle> topLevelWindowsOfThread(ThreadId thread) {
    std::vector<WindowHandle> windows;
    for (WindowHandle window : topLevelWindows()) {
        if (windowThread(window) == thread)
            windows.push_back(window);
    }
    return windows;
}

WindowHandle CreateWindowEx(std::uint32_t exStyle, std::string_view className, std::string_view text,
                            std::uint32_t style, int x, int y, int width, int height, WindowHandle parent, int id,
                            WindowProcedure procedure) {
    if ((parent != 0 && !isDesktopWindow(parent)) || ((style & WS_CHILD) && parent == 0))
        return 0;
    auto record = std::make_shared<WindowRecord>();
    record->className = className;
    record->text = text;
    record->style = style;
    record->exStyle = exStyle;
    record->id = id;
    record->parent = parent;
    record->rect = Rect{x, y, x + width, y + height};
    record->visible = (style & WS_VISIBLE) != 0;
    record->procedure = std::move(procedure);
    const WindowHandle window = CreateMessageWindow(route, defaults);
    if (window == 0)
        return 0;
    record->handle = window;
    record->thread = currentThreadId();
    {
        auto& d = desktop();
        std::lock_guard lock(d.mutex);
        d.windows.emplace(window, record);
    }
    std::shared_ptr<WindowClassBehavior> behavior;
    if (!makeClassBehavior(className, window, behavior)) {
        DestroyWindow(window);
        return 0;
    }
    std::lock_guard lock(desktop().mutex);
    record->behavior = std::move(behavior);
    return window;
}

std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const Message sent{window, message, wParam, lParam, currentProcessId()};
    if (windowThread(window) == currentThreadId())
        return DispatchMessage(sent);
    std::intptr_t result = 0;
    runOnWindowThread(window, [&] { result = DispatchMessage(sent); });
    return result;
}

bool ShowWindow(WindowHandle window, int command) {
    bool wasVisible = false;
    bool topLevel = false;
    {
        auto& d = desktop();
        std::lock_guard lock(d.mutex);
        auto record = findLocked(d, window);
        if (!record)
            return false;
        wasVisible = record->visible;
        record->visible = command != SW_HIDE;
        record->style = record->visible ? record->style | WS_VISIBLE : record->style & ~WS_VISIBLE;
        topLevel = !isChildRecord(*record);
    }
    if (command == SW_HIDE) {
        if (wasVisible)
            windowLeaving(window);
    } else if (topLevel) {
        activate(window, WA_ACTIVE);
    }
    return wasVisible;
}

bool IsWindowVisible(WindowHandle window) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    auto record = findLocked(d, window);
    while (record) {
        if (!record->visible)
            return false;
        if (!isChildRecord(*record))
            return true;
        record = findLocked(d, record->parent);
    }
    return false;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool) {
    bool resized = false;
    {
        auto& d = desktop();
        std::lock_guard lock(d.mutex);
        auto record = findLocked(d, window);
        if (!record)
            return false;
        resized = record->rect.width() != width || record->rect.height() != height;
        record->rect = Rect{x, y, x + width, y + height};
    }
    if (resized)
        SendMessage(window, WM_SIZE, SIZE_RESTORED, makeLParam(width, height));
    return true;
}

bool GetWindowRect(WindowHandle window, Rect& rect) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    auto record = findLocked(d, window);
    if (!record)
        return false;
    const Point origin = originLocked(d, *record);
    rect = Rect{origin.x, origin.y, origin.x + record->rect.width(), origin.y + record->rect.height()};
    return true;
}

bool GetClientRect(WindowHandle window, Rect& rect) {
    auto record = find(window);
    if (!record)
        return false;
    std::lock_guard lock(desktop().mutex);
    rect = Rect{0, 0, record->rect.width(), record->rect.height()};
    return true;
}

bool ScreenToClient(WindowHandle window, Point& point) {
    Rect rect;
    if (!GetWindowRect(window, rect))
        return false;
    point.x -= rect.left;
    point.y -= rect.top;
    return true;
}

bool ClientToScreen(WindowHandle window, Point& point) {
    Rect rect;
    if (!GetWindowRect(window, rect))
        return false;
    point.x += rect.left;
    point.y += rect.top;
    return true;
}

WindowHandle GetParent(WindowHandle window) {
    auto record = find(window);
    return record ? record->parent : 0;
}

bool IsChild(WindowHandle parent, WindowHandle window) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    for (auto record = findLocked(d, window); record && isChildRecord(*record);
         record = findLocked(d, record->parent)) {
        if (record->parent == parent)
            return true;
    }
    return false;
}

bool SetWindowText(WindowHandle window, std::string_view text) {
    const std::string copy(text);
    return isDesktopWindow(window) && SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<std::intptr_t>(copy.c_str()));
}

std::string GetWindowText(WindowHandle window) {
    auto record = find(window);
    std::lock_guard lock(desktop().mutex);
    return record ? record->text : std::string();
}

std::string GetClassName(WindowHandle window) {
    auto record = find(window);
    return record ? record->className : std::string();
}

std::intptr_t GetWindowLong(WindowHandle window, int index) {
    auto record = find(window);
    if (!record)
        return 0;
    std::lock_guard lock(desktop().mutex);
    switch (index) {
    case GWL_STYLE:
        return record->style;
    case GWL_EXSTYLE:
        return record->exStyle;
    case GWL_ID:
        return record->id;
    default:
        return 0;
    }
}

bool SystemParametersInfo(unsigned action, unsigned, void* data, unsigned) {
    if (action != SPI_GETWORKAREA || !data)
        return false;
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    *static_cast<Rect*>(data) = d.workArea;
    return true;
}

std::optional<WindowState> windowState(WindowHandle window) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    auto record = findLocked(d, window);
    if (!record)
        return std::nullopt;
    const Point origin = originLocked(d, *record);
    return WindowState{record->thread,
                       record->className,
                       record->text,
                       record->style,
                       record->exStyle,
                       record->id,
                       record->parent,
                       Rect{origin.x, origin.y, origin.x + record->rect.width(), origin.y + record->rect.height()},
                       record->visible,
                       record->smallIcon,
                       record->bigIcon};
}

std::vector<WindowHandle> topLevelWindows() {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    std::vector<WindowHandle> windows;
    for (const auto& [handle, record] : d.windows) {
        if (!isChildRecord(*record) && IsWindow(handle))
            windows.push_back(handle);
    }
    return windows;
}

std::vector<WindowHandle> childWindows(WindowHandle parent) {
    std::vector<WindowHandle> children;
    for (WindowHandle child : childrenOf(parent)) {
        if (IsWindow(child))
            children.push_back(child);
    }
    return children;
}

void setWorkArea(const Rect& area) {
    auto& d = desktop();
    std::lock_guard lock(d.mutex);
    d.workArea = area;
}

bool clickCloseBox(WindowHandle window) {
    return runOnWindowThread(window, [window] { SendMessage(window, WM_SYSCOMMAND, SC_CLOSE | kCloseBoxLowBits, 0); });
}

std::shared_ptr<WindowClassBehavior> windowBehavior(WindowHandle window) {
    auto record = find(window);
    if (!record)
        return nullptr;
    std::lock_guard lock(desktop().mutex);
    return record->behavior;
}

}  // namespace compat
