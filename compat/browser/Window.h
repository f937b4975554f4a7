#pragma once
// Windows as the desktop keeps them, built on message windows
// (compat/ipc/MessageWindow.h): each has a class, a text, styles, an id, a
// parent, a rectangle, a visibility and icons, belongs to the thread that
// made it and runs its procedure there. Windows have no frame: the client
// area is the whole window. What a procedure passes to DefWindowProc gets the
// behaviour of the window's class (WindowClass.h: toolbar, combo box, control
// host, browser control) and then the system's defaults: WM_GETICON and
// WM_SETICON answer and set the icons, WM_SETTEXT sets the text, WM_SYSCOMMAND
// with SC_CLOSE (low four bits aside) sends WM_CLOSE, WM_CLOSE destroys the
// window, WM_ACTIVATE gives it the focus. Creating a window sends it nothing.
// Destroying one sends it WM_DESTROY, destroys its children, then sends it
// WM_NCDESTROY.
//
// Any thread may read a window. SendMessage runs the procedure on the
// window's own thread: at once on that thread, otherwise through that
// thread's message loop while the sender waits (and meanwhile answers what is
// sent to it, as a sending thread does). DestroyWindow (compat/ipc) is the
// owning thread's.

#include <cstdint>
#include <string>
#include <string_view>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/Rect.h"
#include "compat/browser/WindowMessages.h"
#include "compat/desktop/Cursor.h"
#include "compat/ipc/MessageWindow.h"

namespace compat {

using IconHandle = std::uintptr_t;  // 0: no icon

// A window of `className` (compared without ASCII case) made on the calling
// thread; `procedure` receives its messages, or without one its class alone
// answers them. The position is in the parent's client coordinates for a
// child (WS_CHILD), on the screen otherwise; a top-level window's parent is
// its owner. Not shown until ShowWindow, even with WS_VISIBLE, which only
// marks it visible. 0 when the parent is no window (or a child has none), the
// class refuses (a control host whose control cannot be made) or the thread
// cannot have a queue.
COMPAT_BROWSER_EXPORT WindowHandle CreateWindowEx(std::uint32_t exStyle, std::string_view className, std::string_view text,
                            std::uint32_t style, int x, int y, int width, int height, WindowHandle parent, int id,
                            WindowProcedure procedure = {});

// The procedure's answer; 0 for a window that is gone.
COMPAT_BROWSER_EXPORT std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// SW_SHOW makes the window visible and, for a top-level window, active
// (ActiveWindow.h); SW_HIDE makes it invisible. Whether it was visible.
COMPAT_BROWSER_EXPORT bool ShowWindow(WindowHandle window, int command);
// Visible itself and all its ancestors.
COMPAT_BROWSER_EXPORT bool IsWindowVisible(WindowHandle window);
// Places the window (coordinates as in CreateWindowEx); a change of size
// sends WM_SIZE with the new client size.
COMPAT_BROWSER_EXPORT bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint);
// The window on the screen.
COMPAT_BROWSER_EXPORT bool GetWindowRect(WindowHandle window, Rect& rect);
// The client area: (0, 0) to the window's size.
COMPAT_BROWSER_EXPORT bool GetClientRect(WindowHandle window, Rect& rect);
COMPAT_BROWSER_EXPORT bool ScreenToClient(WindowHandle window, Point& point);
COMPAT_BROWSER_EXPORT bool ClientToScreen(WindowHandle window, Point& point);
// The parent of a child, the owner of a top-level window, else 0.
COMPAT_BROWSER_EXPORT WindowHandle GetParent(WindowHandle window);
// Whether `window` is a descendant of `parent` (through children, not owners).
COMPAT_BROWSER_EXPORT bool IsChild(WindowHandle parent, WindowHandle window);
// Sends WM_SETTEXT.
COMPAT_BROWSER_EXPORT bool SetWindowText(WindowHandle window, std::string_view text);
COMPAT_BROWSER_EXPORT std::string GetWindowText(WindowHandle window);
COMPAT_BROWSER_EXPORT std::string GetClassName(WindowHandle window);
// GWL_STYLE, GWL_EXSTYLE or GWL_ID; 0 for anything else.
std::intptr_t GetWindowLong(WindowHandle window, int index);
// SPI_GETWORKAREA fills the Rect that `data` points to with the work area;
// any other action fails.
COMPAT_BROWSER_EXPORT bool SystemParametersInfo(unsigned action, unsigned param, void* data, unsigned flags);

}  // namespace compat
