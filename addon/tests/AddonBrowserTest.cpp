#include "addon/tests/AddonBrowserTest.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <stdexcept>

#include "addon/browser/AddonClassIds.h"
#include "compat/browser/ActiveWindow.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/LoadedPage.h"
#include "compat/store/RegistryKey.h"

namespace ovix::testing {

namespace fs = std::filesystem;

std::string AddonBrowser::configText(const std::vector<std::pair<std::string, std::string>>& lines) {
    std::string text;
    for (const auto& [key, value] : lines)
        text += key + "=" + value + "\r\n";
    return text;
}

void AddonBrowser::start(bool ownFolders) {
    if (ownFolders) {
        fs::create_directories(m_folders / "config");
        fs::create_directories(m_folders / "run");
        chmod((m_folders / "run").c_str(), 0700);
        setenv("XDG_CONFIG_HOME", (m_folders / "config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (m_folders / "run").c_str(), 1);
    }
    compat::forgetDeclaredPages();
    compat::activateOtherApplication();
}

void AddonBrowser::stop() {
    m_windows.clear();
    m_module.reset();
}

void AddonBrowser::install(const std::string& config) {
    const fs::path built = VANTILE_MODULE;
    m_addonFolder = m_folders / "addon";
    fs::create_directories(m_addonFolder);
    fs::copy_file(built, m_addonFolder / built.filename());
    fs::copy(built.parent_path() / "static", m_addonFolder / "static", fs::copy_options::recursive);
    writeFile(m_addonFolder / "vantile.config", config);
    m_module = std::make_unique<compat::ComModule>(m_addonFolder / built.filename());
    if (m_module->registerServer() != compat::S_OK)
        throw std::runtime_error("the add-on does not register");
}

std::string AddonBrowser::staticPageUrl(std::string_view name) const {
    return "file://" + (m_addonFolder / "static" / name).string();
}

void AddonBrowser::setInstallDirectory(const fs::path& folder) {
    const auto key = compat::RegistryKey::create(compat::RegistryHive::LocalMachine, "SOFTWARE\\Dastel\\Morvane");
    if (!key || !key->setString("Directory", folder.string()))
        throw std::runtime_error("cannot record the installation's folder");
}

compat::BrowserWindow& AddonBrowser::openWindow(compat::BrowserWindow::Options options) {
    m_windows.push_back(std::make_unique<compat::BrowserWindow>(options));
    return *m_windows.back();
}

compat::HRESULT AddonBrowser::showBar(compat::BrowserWindow& window, const compat::Guid& classId, bool show) {
    compat::HRESULT result = compat::E_FAIL;
    window.run([&] { result = window.browser().ShowBrowserBar(classId.toString(), show, std::int32_t{0}); });
    return result;
}

compat::WindowHandle AddonBrowser::bandWindow(compat::BrowserWindow& window, const compat::Guid& classId) {
    compat::WindowHandle found = 0;
    if (auto band = window.addon(classId).as<compat::OleWindow>())
        window.run([&] { EXPECT_EQ(band->GetWindow(found), compat::S_OK); });
    return found;
}

compat::ComPtr<compat::ScriptedBrowser> AddonBrowser::bandBrowser(compat::BrowserWindow& window,
                                                                  const compat::Guid& classId) {
    const compat::WindowHandle band = bandWindow(window, classId);
    return band ? compat::hostedBrowser(band) : compat::ComPtr<compat::ScriptedBrowser>();
}

compat::ScriptedBrowser::Outcome AddonBrowser::pageGoesTo(compat::ScriptedBrowser& browser, const std::string& url) {
    const std::size_t at = browser.navigations().size();
    if (!browser.pageNavigates(url))
        throw std::runtime_error("the browser's window is gone");
    return browser.navigations().at(at).outcome;
}

bool AddonBrowser::showsEventually(compat::ScriptedBrowser& browser, const std::string& url) {
    return eventually([&] { return browser.settle() && browser.location() == url; }, std::chrono::seconds(20));
}

bool AddonBrowser::retirePoller() {
    auto& window = openWindow();
    return showBar(window, kBarBandClassId, true) == compat::S_OK && window.close() &&
           eventually([&] { return m_module->canUnloadNow() == compat::S_OK; }, std::chrono::seconds(20));
}

}  // namespace ovix::testing
