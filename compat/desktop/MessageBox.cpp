#include "compat/desktop/MessageBox.h"

#include <string>

#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/DesktopPresenter.h"

namespace compat {

int MessageBox(WindowHandle, std::string_view text, std::string_view caption, unsigned type) {
    recordDesktopEvent("message-box caption=" + journalQuote(caption) + " text=" + journalQuote(text) +
                       " type=" + std::to_string(type));
    presentOnDesktop([&](DesktopPresenter& desktop) { desktop.showMessageBox(caption, text); });
    return IDOK;
}

}  // namespace compat
