#include "addon/browser/sidebar/ServerStateListenerWnd.h"

#include <utility>

#include "addon/browser/sidebar/CBarBand.h"
#include "addon/core/server/ServerState.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"

namespace ovix {

using namespace compat;

ServerStateListenerWnd::~ServerStateListenerWnd() {
    Destroy();
}

bool ServerStateListenerWnd::Create(CBarBand* band) {
    Destroy();
    m_window = CreateWindowEx(WS_EX_TOOLWINDOW, "ServerStateListenerWnd", "", WS_POPUP, 0, 0, 0, 0, 0, 0,
                              [band](WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) -> std::intptr_t {
                                  if (message != WM_SERVERSTATE)
                                      return DefWindowProc(window, message, wParam, lParam);
                                  band->ShowStatePage(wParam);
                                  return 0;
                              });
    return m_window != 0;
}

void ServerStateListenerWnd::Destroy() {
    const WindowHandle window = std::exchange(m_window, 0);
    if (window && !DestroyWindow(window))
        runOnWindowThread(window, [window] { DestroyWindow(window); });
}

}  // namespace ovix
