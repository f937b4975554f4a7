#include "compat/system/SystemError.h"

#include <cstring>

namespace compat {

std::string systemErrorText(int code) {
    char buffer[512];
    // The GNU strerror_r may return a static text instead of filling buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    std::string result = text ? text : "";
    if (result.rfind("Unknown error", 0) == 0)
        return {};
    if (result.size() > sizeof buffer - 1)
        result.resize(sizeof buffer - 1);
    return result;
}

}  // namespace compat
