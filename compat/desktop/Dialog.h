#pragma once
// Modeless dialogs, as a headless model: a dialog is a message window
// (MessageWindow.h) made from a template, whose procedure gets the dialog's
// messages, the user's posted to it like any other (a click is
// WM_LBUTTONUP). Creating, showing and ending a dialog are recorded in the
// desktop journal (DesktopJournal.h); a dialog shown goes to a real desktop
// too when one is attached (DesktopPresenter.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compat/desktop/DesktopExport.h"
#include "compat/desktop/WindowStyle.h"
#include "compat/ipc/MessageWindow.h"

namespace compat {

inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;

inline constexpr std::uint32_t DS_MODALFRAME = 0x0080;
inline constexpr std::uint32_t DS_CENTER = 0x0800;
inline constexpr std::uint32_t WS_EX_DLGMODALFRAME = 0x0001;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x0200;

struct DialogItem {
    enum class Kind { Bitmap, Text };
    Kind kind = Kind::Text;
    unsigned resource = 0;  // Bitmap: the bitmap resource id
    std::string text;       // Text
};

struct DialogTemplate {
    unsigned id = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int width = 0;  // dialog units
    int height = 0;
    std::string font;
    int pointSize = 0;
    std::vector<DialogItem> items;
};

struct WindowStyles {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
};

// Makes the dialog on the calling thread and sends its procedure
// WM_INITDIALOG; it is shown at once only when the template's style has
// WS_VISIBLE. 0 when the thread cannot have windows.
COMPAT_DESKTOP_EXPORT WindowHandle CreateDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                                                WindowProcedure procedure);

COMPAT_DESKTOP_EXPORT std::optional<WindowStyles> dialogStyles(WindowHandle dialog);
COMPAT_DESKTOP_EXPORT bool setDialogStyles(WindowHandle dialog, WindowStyles styles);
// Shows (SW_SHOW) or hides (SW_HIDE) a dialog.
COMPAT_DESKTOP_EXPORT bool ShowDialog(WindowHandle dialog, int command);

// Ends a modeless dialog with `result` and destroys it; on the dialog's
// thread only. False when it is not a dialog of this thread.
COMPAT_DESKTOP_EXPORT bool EndDialog(WindowHandle dialog, std::intptr_t result);

// The dialogs made from template `templateId` that still exist.
COMPAT_DESKTOP_EXPORT std::vector<WindowHandle> openDialogs(unsigned templateId);

}  // namespace compat
