#pragma once
// A browser window, for tests: a top-level frame window with a small and a
// big icon, a toolbar area and an explorer-bar area, and its own browser (the
// current tab), on a user-interface thread of its own that runs a message
// loop. When it opens it activates its add-ons from the registry store as a
// browser does (AddonRegistry.h): each helper object is placed on the
// window's browser (SetSite), each toolbar on a band site in the toolbar area
// (SetSite, GetBandInfo, ShowDW(true)); then the frame is shown. The
// browser's ShowBrowserBar of an explorer bar's class makes that bar on a
// band site in the bar area the first time (SetSite, GetBandInfo) and shows
// it (ShowDW(true)), or hides it (ShowDW(false)). When the frame gets
// WM_CLOSE, each band is closed (CloseDW) and every add-on is taken off its
// site (SetSite(null)) and released, newest first; then the frame is
// destroyed, the thread ends, and the add-on modules are unloaded with it.
//
// A test's call on the window runs on the window's thread and waits, so that
// the add-ons see the window's own thread. Not for use from that thread
// itself, except run.

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "compat/browser/AddonRegistry.h"
#include "compat/browser/BandSite.h"
#include "compat/browser/BrowserExport.h"
#include "compat/browser/DeskBand.h"
#include "compat/browser/ScriptedBrowser.h"
#include "compat/browser/Window.h"

namespace compat {

class COMPAT_BROWSER_EXPORT BrowserWindow : private ScriptedBrowser::Frame {
public:
    struct Options {
        BandSiteLinks links;  // what the band sites give their bands
    };

    BrowserWindow();
    explicit BrowserWindow(Options options);
    // Closes the window (WM_CLOSE), if it is open, and waits for its thread.
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    // Runs `task` on the window's thread and waits; false once it is closed.
    bool run(const std::function<void()>& task);
    // Waits until the pages loading on the window's thread are loaded.
    bool settle();

    WindowHandle frame() const { return m_frame; }
    IconHandle smallIcon() const { return m_smallIcon; }
    // The window's browser; it outlives the window as long as this object.
    ScriptedBrowser& browser() const { return *m_browser.get(); }
    WindowHandle toolbarArea() const { return m_toolbarArea; }
    WindowHandle barArea() const { return m_barArea; }

    // As the user: types an address; clicks the close box and waits until the
    // window is gone (false when it stays).
    bool navigate(std::string_view url);
    bool close();
    bool isOpen() const { return m_open; }
    // Waits until the window is gone (closed by whoever).
    bool waitUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(10));

    // The add-on of `classId` the window holds, and what its band said of
    // its layout; empty when it holds none (or it is no band).
    ComPtr<ComUnknown> addon(const Guid& classId) const;
    std::optional<DeskBandInfo> bandInfo(const Guid& classId) const;
    // The window's calls on its add-ons ("SetSite {id}", "GetBandInfo {id}",
    // "ShowDW {id} true", "CloseDW {id}", "SetSite {id} null", "load {id}
    // failed: why") and what its band sites heard, in order.
    std::vector<std::string> calls() const { return m_calls->lines(); }

private:
    struct Addon {
        Guid classId;
        ComPtr<ComUnknown> object;
        ComPtr<BandSite> site;  // for bands
        DeskBandInfo info;
    };

    void threadMain(std::promise<void>& ready);
    void loadAddons();
    // Places the band of `classId` on a new band site in `area`; false when it
    // cannot be made or placed.
    bool placeBand(const Guid& classId, WindowHandle area, std::uint32_t viewMode);
    void showBand(const Guid& classId, bool show);
    HRESULT showBrowserBar(const Guid& classId, bool show) override;
    void tearDown();
    std::optional<Addon> find(const Guid& classId) const;

    const Options m_options;
    const std::shared_ptr<CallLog> m_calls = std::make_shared<CallLog>();
    IconHandle m_smallIcon = 0;
    IconHandle m_bigIcon = 0;
    WindowHandle m_frame = 0;
    WindowHandle m_toolbarArea = 0;
    WindowHandle m_barArea = 0;
    ComPtr<ScriptedBrowser> m_browser;
    std::unique_ptr<AddonModules> m_modules;  // the window thread's
    mutable std::mutex m_mutex;
    std::vector<Addon> m_addons;
    std::atomic<bool> m_open{false};
    std::shared_future<void> m_ended;
    std::thread m_thread;
};

}  // namespace compat
