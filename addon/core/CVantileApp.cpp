#include "addon/core/CVantileApp.h"

#include "base/Ascii.h"
#include "compat/system/ModulePath.h"

namespace ovix {

namespace {

constexpr std::string_view kRefusedHost = "explorer.exe";

}  // namespace

bool CVantileApp::AcceptsHost(const std::filesystem::path& hostProgram) {
    return !asciiContainsNoCase(hostProgram.string(), kRefusedHost);
}

bool CVantileApp::InitInstance() {
    if (!AcceptsHost(compat::executablePath()))
        return false;
    config.Load();
    return true;
}

int CVantileApp::ExitInstance() {
    return 0;
}

void CVantileApp::SetToolbarBand(ToolbarBand* band) {
    std::lock_guard lock(m_bandLock);
    m_toolbarBand = band;
}

void CVantileApp::ClearToolbarBand(ToolbarBand* band) {
    std::lock_guard lock(m_bandLock);
    if (m_toolbarBand == band)
        m_toolbarBand = nullptr;
}

void CVantileApp::SetSidebarBrowser(compat::ComUnknown* browser) {
    std::lock_guard lock(m_bandLock);
    if (m_toolbarBand)
        m_toolbarBand->SetSidebarBrowser(browser);
}

}  // namespace ovix
