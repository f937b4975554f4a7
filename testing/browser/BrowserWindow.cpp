#include "testing/browser/BrowserWindow.h"

#include "compat/browser/Keyboard.h"
#include "compat/browser/ObjectWithSite.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ThreadTask.h"

namespace compat::testing {

namespace {

constexpr Rect kFrameRect{0, 0, 1024, 768};
constexpr int kToolbarAreaHeight = 28;
constexpr int kBarAreaWidth = 200;
constexpr std::uint32_t kAllBandInfo = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                                       DBIM_MODEFLAGS | DBIM_BKCOLOR;

IconHandle newIcon() {
    static std::atomic<IconHandle> last{0x50000};
    return last += 2;
}

}  // namespace

BrowserWindow::BrowserWindow() : BrowserWindow(Options{}) {}

BrowserWindow::BrowserWindow(Options options)
    : m_options(options), m_smallIcon(newIcon()), m_bigIcon(newIcon()) {
    std::promise<void> ready;
    std::promise<void> ended;
    m_ended = ended.get_future().share();
    m_thread = std::thread([this, &ready, ended = std::move(ended)]() mutable {
        threadMain(ready);
        ended.set_value();
    });
    ready.get_future().wait();
}

BrowserWindow::~BrowserWindow() {
    run([this] { SendMessage(m_frame, WM_CLOSE, 0, 0); });
    m_thread.join();
}

void BrowserWindow::threadMain(std::promise<void>& ready) {
    m_frame = CreateWindowEx(0, "BrowserFrame", "", WS_OVERLAPPEDWINDOW, kFrameRect.left, kFrameRect.top,
                             kFrameRect.width(), kFrameRect.height(), 0, 0,
                             [this](WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) -> std::intptr_t {
                                 if (message == WM_CLOSE) {
                                     tearDown();
                                     DestroyWindow(window);
                                     return 0;
                                 }
                                 if (message == WM_NCDESTROY)
                                     PostQuitMessage(0);
                                 return DefWindowProc(window, message, wParam, lParam);
                             });
    SendMessage(m_frame, WM_SETICON, ICON_SMALL, static_cast<std::intptr_t>(m_smallIcon));
    SendMessage(m_frame, WM_SETICON, ICON_BIG, static_cast<std::intptr_t>(m_bigIcon));
    m_toolbarArea = CreateWindowEx(0, "ReBarWindow32", "", WS_CHILD | WS_VISIBLE, 0, 0, kFrameRect.width(),
                                   kToolbarAreaHeight, m_frame, 0);
    m_barArea = CreateWindowEx(0, "BaseBar", "", WS_CHILD | WS_VISIBLE, 0, kToolbarAreaHeight, kBarAreaWidth,
                               kFrameRect.height() - kToolbarAreaHeight, m_frame, 0);
    m_browser = ScriptedBrowser::forWindow(m_frame, this);
    m_modules = std::make_unique<AddonModules>();
    loadAddons();
    ShowWindow(m_frame, SW_SHOW);
    m_open = true;
    ready.set_value();
    Message message;
    while (GetMessage(message) > 0) {
        TranslateMessage(message);
        DispatchMessage(message);
    }
    // The window's thread ends: its modules go with it.
    m_modules.reset();
}

void BrowserWindow::loadAddons() {
    for (const Guid& classId : registeredHelperObjects()) {
        std::string error;
        auto object = m_modules->create(classId, error);
        auto placed = object.as<ObjectWithSite>();
        if (!placed) {
            m_calls->add("load " + classId.toString() + " failed: " + (object ? "no ObjectWithSite" : error));
            continue;
        }
        m_calls->add("SetSite " + classId.toString());
        if (!succeeded(placed->SetSite(static_cast<WebBrowser2*>(m_browser.get())))) {
            m_calls->add("load " + classId.toString() + " failed: SetSite");
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_addons.push_back(Addon{classId, object, {}, {}});
    }
    for (const Guid& classId : registeredToolbars()) {
        if (placeBand(classId, m_toolbarArea, DBIF_VIEWMODE_NORMAL))
            showBand(classId, true);
    }
}

bool BrowserWindow::placeBand(const Guid& classId, WindowHandle area, std::uint32_t viewMode) {
    const std::string name = classId.toString();
    std::string error;
    auto object = m_modules->create(classId, error);
    auto placed = object.as<ObjectWithSite>();
    auto band = object.as<DeskBand>();
    if (!placed || !band) {
        m_calls->add("load " + name + " failed: " + (object ? "no band" : error));
        return false;
    }
    auto site = ComPtr<BandSite>::adopt(
        new BandSite(area, ComPtr<WebBrowser2>::share(m_browser.get()), m_options.links, m_calls));
    m_calls->add("SetSite " + name);
    if (!succeeded(placed->SetSite(static_cast<OleWindow*>(site.get())))) {
        m_calls->add("load " + name + " failed: SetSite");
        return false;
    }
    std::uint32_t bandId;
    {
        std::lock_guard lock(m_mutex);
        bandId = static_cast<std::uint32_t>(m_addons.size());
    }
    DeskBandInfo info;
    info.mask = kAllBandInfo;
    m_calls->add("GetBandInfo " + name);
    // A band that tells nothing of its layout gets the defaults.
    if (!succeeded(band->GetBandInfo(bandId, viewMode, &info)))
        info = DeskBandInfo{};
    std::lock_guard lock(m_mutex);
    m_addons.push_back(Addon{classId, object, site, info});
    return true;
}

void BrowserWindow::showBand(const Guid& classId, bool show) {
    const auto addon = find(classId);
    const auto band = addon ? addon->object.as<DeskBand>() : ComPtr<DeskBand>();
    if (!band)
        return;
    m_calls->add("ShowDW " + classId.toString() + (show ? " true" : " false"));
    static_cast<void>(band->ShowDW(show));  // the calls record it; a browser does nothing more
}

HRESULT BrowserWindow::showBrowserBar(const Guid& classId, bool show) {
    if (!find(classId)) {
        if (!show)
            return S_OK;
        if (!placeBand(classId, m_barArea, DBIF_VIEWMODE_VERTICAL))
            return E_FAIL;
    }
    showBand(classId, show);
    return S_OK;
}

void BrowserWindow::tearDown() {
    std::vector<Addon> addons;
    {
        std::lock_guard lock(m_mutex);
        addons.swap(m_addons);
    }
    for (auto addon = addons.rbegin(); addon != addons.rend(); ++addon) {
        const std::string name = addon->classId.toString();
        // The window goes whatever its add-ons answer.
        if (auto band = addon->object.as<DeskBand>()) {
            m_calls->add("CloseDW " + name);
            static_cast<void>(band->CloseDW(0));
        }
        m_calls->add("SetSite " + name + " null");
        if (auto placed = addon->object.as<ObjectWithSite>())
            static_cast<void>(placed->SetSite(nullptr));
        if (addon->site)
            addon->site->detach();
    }
    addons.clear();
    m_browser->detachFrame();
    m_open = false;
}

std::optional<BrowserWindow::Addon> BrowserWindow::find(const Guid& classId) const {
    std::lock_guard lock(m_mutex);
    for (const auto& addon : m_addons) {
        if (addon.classId == classId)
            return addon;
    }
    return std::nullopt;
}

bool BrowserWindow::run(const std::function<void()>& task) {
    return runOnWindowThread(m_frame, task);
}

bool BrowserWindow::settle() {
    return settleBrowsersOf(m_frame);
}

bool BrowserWindow::navigate(std::string_view url) {
    const std::string copy(url);
    HRESULT result = E_FAIL;
    return run([&] { result = m_browser->navigate(copy); }) && succeeded(result);
}

bool BrowserWindow::close() {
    return clickCloseBox(m_frame) && waitUntilClosed();
}

bool BrowserWindow::waitUntilClosed(std::chrono::milliseconds limit) {
    return m_ended.wait_for(limit) == std::future_status::ready;
}

ComPtr<ComUnknown> BrowserWindow::addon(const Guid& classId) const {
    const auto found = find(classId);
    return found ? found->object : ComPtr<ComUnknown>();
}

std::optional<DeskBandInfo> BrowserWindow::bandInfo(const Guid& classId) const {
    const auto found = find(classId);
    if (!found || !found->site)
        return std::nullopt;
    return found->info;
}

}  // namespace compat::testing
