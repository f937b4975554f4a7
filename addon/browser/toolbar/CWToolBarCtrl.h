#pragma once
// The toolbar control of the toolbar band: two buttons, "Open Morvane
// application" with a drop-down menu of pages of the local web interface and
// the sidebar switch, and "Tag It", which opens the main application's Tag It
// dialog for the page in the current tab; right of them the interests box,
// from which a page is tagged under an interest. Pages open in the frame
// browser's current tab, dialogs in popups. Its window lives in the band's
// host window (CWndReflection), which reflects its notifications to it.
// Used on the thread that made it.

#include <cstdint>
#include <string_view>

#include "addon/browser/toolbar/Interests.h"
#include "addon/core/CVantileApp.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/Rect.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/desktop/Menu.h"

namespace ovix {

// What the control needs of its band.
struct ToolbarSite {
    compat::ComUnknown* band = nullptr;                 // told to the input site when the box takes the focus
    compat::ComPtr<compat::InputObjectSite> inputSite;  // may be empty
    compat::ComPtr<compat::WebBrowser2> frameBrowser;   // may be empty: then no page opens in a tab
};

class CWToolBarCtrl {
public:
    explicit CWToolBarCtrl(CVantileApp& app) : m_app(app) {}
    ~CWToolBarCtrl() { Destroy(); }
    CWToolBarCtrl(const CWToolBarCtrl&) = delete;
    CWToolBarCtrl& operator=(const CWToolBarCtrl&) = delete;

    // Makes the control at `rect` in `parent` with its buttons, its
    // interests box and its menu; false, with nothing left, when one of them
    // cannot be made.
    bool Create(compat::WindowHandle parent, const compat::Rect& rect, ToolbarSite site);
    // Destroys the windows and the menu and lets go of the site.
    void Destroy();
    compat::WindowHandle window() const { return m_window; }

private:
    // 6003: shows the sidebar whatever the flag says, then opens
    // "HomepageUrl" in the current tab; 6004: Tag It under no interest.
    void OnButtonClicked(int id);
    // Checks "Morvane Sidebar" when the sidebar-shown flag is 1 and opens the
    // menu below button 6003; the picked command comes back as WM_COMMAND.
    void ShowMenu();
    // The command of kToolbarCommands with that id; other ids do nothing.
    void OnMenuCommand(unsigned id);
    // Flips the sidebar-shown flag (0 becomes 1, anything else 0) and shows
    // or hides the sidebar accordingly.
    void ToggleSidebar();
    // Opens the Tag It dialog for the current tab's page, under the interest
    // whose decoded name is `interestName` (none when empty or not listed).
    void TagIt(std::string_view interestName);
    // At the box's drop-down: lists the interests fetched anew under the two
    // fixed items, and tells the input site that the band has the focus.
    void RefreshInterests();
    // At a pick in the box: the first item opens the New Interest dialog,
    // the separator does nothing, an interest tags the page under it.
    void SelectInterest();

    bool CreateButtons();
    bool CreateInterestsBox();
    void OpenPage(std::string_view path);
    void OpenPopup(std::string_view path, int width, int height);
    std::intptr_t OnMessage(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam);

    CVantileApp& m_app;
    ToolbarSite m_site;
    compat::WindowHandle m_window = 0;
    compat::WindowHandle m_box = 0;
    compat::MenuHandle m_menu = 0;
    Interests m_interests;
    bool m_firstDrop = true;
};

}  // namespace ovix
