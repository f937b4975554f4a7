#pragma once
// The browser-window fixture of the add-on's tests. It installs a private
// copy of Vantile.dll, with its static/ pages and a vantile.config that the
// test writes, into the registry store of a private XDG_CONFIG_HOME (through
// the module's own DllRegisterServer), with a private XDG_RUNTIME_DIR, and
// opens browser windows that load the add-on from there as a browser does.
// With the launcher's sandbox as Base (testing/launcher/LauncherSandbox.h)
// it uses the sandbox's folders instead. A loopback HTTP server plays the
// main application's. Used from the test's thread.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "compat/com/ComModule.h"
#include "testing/LoopbackHttpServer.h"
#include "testing/ScratchFolder.h"
#include "testing/browser/BrowserWindow.h"
#include "testing/browser/ScriptedBrowserControls.h"

namespace ovix::testing {

class AddonBrowser {
public:
    // A configuration file's text: "key=value" and CR LF for each pair.
    static std::string configText(const std::vector<std::pair<std::string, std::string>>& lines);

    // Installs the add-on with `config` as its vantile.config and registers
    // it; throws std::runtime_error when it cannot. Once per test.
    void install(const std::string& config);
    // The installed module, loaded by the fixture (windows load it too).
    compat::ComModule& module() const { return *m_module; }
    // Lets go of the fixture's own hold on the module.
    void unloadModule() { m_module.reset(); }
    // The installation's folder, and the file address of its page static/`name`.
    const std::filesystem::path& addonFolder() const { return m_addonFolder; }
    std::string staticPageUrl(std::string_view name) const;
    // Records `folder` as the installation's "Directory", from which the
    // add-on starts the launcher.
    static void setInstallDirectory(const std::filesystem::path& folder);

    // Opens a browser window on the installed add-on; it is closed at the
    // end of the test if it is still open.
    compat::testing::BrowserWindow& openWindow(compat::testing::BrowserWindow::Options options = {});
    // The window's browser's ShowBrowserBar for the bar of `classId`, run on
    // the window's thread.
    static compat::HRESULT showBar(compat::testing::BrowserWindow& window, const compat::Guid& classId, bool show);
    // The window of the band of `classId`; 0 when there is none.
    static compat::WindowHandle bandWindow(compat::testing::BrowserWindow& window, const compat::Guid& classId);
    // The browser control in the window of the band of `classId`; empty
    // when there is none.
    static compat::ComPtr<compat::testing::ScriptedBrowser> bandBrowser(compat::testing::BrowserWindow& window,
                                                                        const compat::Guid& classId);
    // The outcome of the navigation to `url` that the page of `browser`
    // starts (the add-on may start others meanwhile).
    static compat::testing::ScriptedBrowser::Outcome pageGoesTo(compat::testing::ScriptedBrowser& browser,
                                                                const std::string& url);
    // Waits, up to 20 s, until `browser` shows `url`.
    static bool showsEventually(compat::testing::ScriptedBrowser& browser, const std::string& url);
    // With "SidebarCheckOn" off the poller posts 2 once, to the sidebars it
    // starts with, and ends. Shows a sidebar in a window of its own, closes
    // it and waits until the module is unused, so that later sidebars get no
    // state but those the test posts; false when that does not happen.
    bool retirePoller();

    LoopbackHttpServer server;

protected:
    // With `ownFolders`, XDG_CONFIG_HOME and XDG_RUNTIME_DIR become folders
    // of the fixture's own.
    void start(bool ownFolders);
    // Closes the windows, then lets go of the module.
    void stop();

private:
    // The control host makes scripted browsers while the fixture lives.
    compat::testing::ScriptedBrowserControls m_controls;
    ScratchFolder m_folders;
    std::filesystem::path m_addonFolder;
    std::unique_ptr<compat::ComModule> m_module;
    std::vector<std::unique_ptr<compat::testing::BrowserWindow>> m_windows;
};

template <class Base = ::testing::Test>
class AddonBrowserTest : public Base, public AddonBrowser {
protected:
    void SetUp() override {
        Base::SetUp();
        start(std::is_same_v<Base, ::testing::Test>);
    }
    void TearDown() override {
        stop();
        Base::TearDown();
    }
};

}  // namespace ovix::testing
