#pragma once
// The toolbar's resources: the ids of its windows, its two buttons with their
// images, widths and tooltips, its menu (5024) and what each command id of
// that menu opens. Constant data; LoadToolbarMenu may be called from any
// thread.

#include <cstdint>
#include <optional>
#include <string_view>

#include "compat/browser/ToolbarControl.h"
#include "compat/desktop/Menu.h"

namespace ovix {

inline constexpr int kToolbarControlId = 34278;
inline constexpr std::uint32_t kToolbarStyle =
    compat::WS_CHILD | compat::WS_VISIBLE | compat::WS_CLIPSIBLINGS | compat::WS_TABSTOP | compat::TBSTYLE_TRANSPARENT |
    compat::TBSTYLE_LIST | compat::TBSTYLE_FLAT | compat::TBSTYLE_WRAPABLE | compat::TBSTYLE_TOOLTIPS |
    compat::CCS_NODIVIDER | compat::CCS_ADJUSTABLE | compat::CCS_NOPARENTALIGN | compat::CCS_NORESIZE | compat::CCS_TOP;
static_assert(kToolbarStyle == 0x54019B6D);

// The buttons, left to right: "Open Morvane application" with its drop-down
// menu, and "Tag It". Each has one image, a bitmap of this module.
inline constexpr int kOpenButton = 6003;
inline constexpr int kTagItButton = 6004;
struct ToolbarButtonResource {
    int command;
    int bitmap;  // resource id
    std::uint8_t style;
    std::uint16_t width;
    std::string_view tooltip;
};
inline constexpr ToolbarButtonResource kToolbarButtons[] = {
    {kOpenButton, 5031, compat::BTNS_DROPDOWN | compat::BTNS_AUTOSIZE, 43, "Open Morvane application"},
    {kTagItButton, 5032, compat::BTNS_AUTOSIZE, 64, "Tag It"},
};
// The size of the widest image, given to both buttons.
inline constexpr compat::Point kButtonImageSize{57, 17};

// The interests box, placed right of the buttons.
inline constexpr int kInterestsBoxId = 7003;
inline constexpr int kInterestsBoxWidth = 180;
inline constexpr int kInterestsBoxListHeight = 200;

// The caption of every popup the toolbar opens, the New Interest dialog's
// path, and the sizes of the dialogs opened from the box and by Tag It.
inline constexpr std::string_view kPopupTitle = "Morvane";
inline constexpr std::string_view kNewInterestPath = "/NewInterestDialog";
inline constexpr compat::Point kNewInterestBoxPopup{520, 280};
inline constexpr compat::Point kTagItPopup{700, 500};

// What a menu command does: open a page of the local web interface in the
// current tab or in a popup, or show or hide the sidebar. Paths follow
// "HomepageUrl" as they stand.
struct ToolbarCommand {
    enum class Kind { Page, Popup, ToggleSidebar };
    unsigned id;
    Kind kind;
    std::string_view path;
    int width = 0;  // of a popup
    int height = 0;
};
inline constexpr unsigned kSidebarCommand = 32784;
inline constexpr ToolbarCommand kToolbarCommands[] = {
    {32778, ToolbarCommand::Kind::Page, ""},
    {32779, ToolbarCommand::Kind::Page, "/news"},
    {32780, ToolbarCommand::Kind::Page, "/sites"},
    {32781, ToolbarCommand::Kind::Page, "/posts"},
    {32782, ToolbarCommand::Kind::Page, "/sync"},
    {32783, ToolbarCommand::Kind::Page, "/groups"},
    {kSidebarCommand, ToolbarCommand::Kind::ToggleSidebar, ""},
    {32785, ToolbarCommand::Kind::Page, "/setup"},
    {32786, ToolbarCommand::Kind::Page, "/help"},
    {32787, ToolbarCommand::Kind::Page, "/messages"},
    {32788, ToolbarCommand::Kind::Popup, kNewInterestPath, 450, 500},
};
// The command of `id`, if it is one of the table.
std::optional<ToolbarCommand> FindToolbarCommand(unsigned id);

// Menu 5024: one pop-up of these items (id 0: a separator).
struct ToolbarMenuItem {
    unsigned id;
    std::string_view text;
};
inline constexpr ToolbarMenuItem kToolbarMenuItems[] = {
    {32788, "Create New Tag"},
    {32782, "Import Tags/RSS"},
    {0, ""},
    {kSidebarCommand, "Morvane Sidebar"},
    {0, ""},
    {32785, "Preferences"},
    {32786, "Help"},
};
// A new menu 5024, owned by the caller (DestroyMenu); 0 when it cannot be made.
compat::MenuHandle LoadToolbarMenu();

}  // namespace ovix
