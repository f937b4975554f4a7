#include "launcher/LauncherLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace ovix {

void LauncherLog::write(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measuring;
    va_copy(measuring, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string line(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(line.data(), line.size() + 1, format, arguments);
    va_end(arguments);

    std::lock_guard lock(m_lock);
    if (!m_file)
        m_file = compat::ExclusiveAppendFile::open(m_path);
    if (m_file)
        m_file->append(line);
}

LauncherLog& launcherLog() {
    static LauncherLog log("MorvaneLaunch.log");
    return log;
}

}  // namespace ovix
