#pragma once
// The sidebar's listener window: a hidden top-level tool window that the
// poller posts the server state to (WM_SERVERSTATE); each state that comes
// goes to its band's ShowStatePage. The band makes it and destroys it, and
// it never outlives the band: a state posted after that is dropped. Made on
// the band's thread; Destroy may be called from any thread.

#include "compat/ipc/MessageQueue.h"

namespace ovix {

class CBarBand;

class ServerStateListenerWnd {
public:
    ServerStateListenerWnd() = default;
    // Destroys the window.
    ~ServerStateListenerWnd();
    ServerStateListenerWnd(const ServerStateListenerWnd&) = delete;
    ServerStateListenerWnd& operator=(const ServerStateListenerWnd&) = delete;

    // Makes the window on the calling thread, for `band`; false when it
    // cannot be made.
    bool Create(CBarBand* band);
    // Destroys the window on its own thread; nothing when there is none.
    void Destroy();
    compat::WindowHandle Handle() const { return m_window; }

private:
    compat::WindowHandle m_window = 0;
};

}  // namespace ovix
