#pragma once
// The add-on module's application object, one per loaded module: whether the
// module may be used in its host, the configuration read once at load, the
// process's toolbar band and the sidebar-shown flag. After InitInstance the
// configuration is only read; the band record and the flag may be used from
// any thread.

#include <atomic>
#include <filesystem>
#include <mutex>

#include "addon/core/CAddonConfig.h"
#include "compat/com/ComUnknown.h"

namespace ovix {

// What the application asks of the process's toolbar band: to take the
// browser that the sidebar hosts.
class ToolbarBand {
public:
    virtual void SetSidebarBrowser(compat::ComUnknown* browser) = 0;

protected:
    ~ToolbarBand() = default;
};

class CVantileApp {
public:
    virtual ~CVantileApp() = default;

    // Whether the module serves a host program at `hostProgram`: not when
    // its path contains "explorer.exe", in any case of its letters.
    static bool AcceptsHost(const std::filesystem::path& hostProgram);

    // False, with nothing read, when the running program is refused;
    // otherwise reads the configuration beside the module once.
    virtual bool InitInstance();
    virtual int ExitInstance();

    // Records `band` as the process's toolbar band, in place of any other.
    void SetToolbarBand(ToolbarBand* band);
    // Forgets `band` when it is the one recorded.
    void ClearToolbarBand(ToolbarBand* band);
    // Hands `browser` to the recorded toolbar band, if any.
    void SetSidebarBrowser(compat::ComUnknown* browser);

    CAddonConfig config;
    // 1 while the sidebar is shown; written by the sidebar and the toolbar.
    std::atomic<int> sidebarShown{0};

private:
    std::mutex m_bandLock;
    ToolbarBand* m_toolbarBand = nullptr;
};

// The module's one application object, which the module defines.
extern CVantileApp theApp;

}  // namespace ovix
