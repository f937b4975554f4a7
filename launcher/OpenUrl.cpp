#include "launcher/OpenUrl.h"

#include <cstdio>

#include "compat/desktop/MessageBox.h"
#include "compat/system/ShellOpen.h"

namespace ovix {

int OpenUrl(const std::string& url) {
    const int result = compat::shellOpen(url);
    if (result <= 32 && result != 2 && result != 29) {
        const char* format =
            "Morvane could not launch your default browser.\n\nPlease open your browser manually and navigate to "
            "%s\n\n(Error: %d)";
        const int size = std::snprintf(nullptr, 0, format, url.c_str(), result);
        std::string text(static_cast<std::size_t>(size), '\0');
        std::snprintf(text.data(), text.size() + 1, format, url.c_str(), result);
        compat::MessageBox(0, text, "Morvane", compat::MB_OK);
    }
    return result;
}

}  // namespace ovix
