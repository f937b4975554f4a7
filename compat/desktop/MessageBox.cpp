#include "compat/desktop/MessageBox.h"

#include <string>

#include "compat/desktop/DesktopJournal.h"

namespace compat {

int MessageBox(WindowHandle, std::string_view text, std::string_view caption, unsigned type) {
    recordDesktopEvent("message-box caption=" + journalQuote(caption) + " text=" + journalQuote(text) +
                       " type=" + std::to_string(type));
    return IDOK;
}

}  // namespace compat
