#include "compat/desktop/DesktopJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "base/UniqueFd.h"

namespace compat {

namespace {

std::mutex g_lock;
std::vector<std::string> g_events;

void appendToJournalFile(const std::string& line) {
    const char* path = std::getenv("OVIX_DESKTOP_JOURNAL");
    if (!path || !*path)
        return;
    const ovix::UniqueFd fd(open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return;
    // One write: a reader never sees half a line.
    const std::string whole = line + '\n';
    [[maybe_unused]] const auto written = write(fd.get(), whole.data(), whole.size());
}

}  // namespace

void recordDesktopEvent(const std::string& line) {
    std::lock_guard lock(g_lock);
    g_events.push_back(line);
    appendToJournalFile(line);
}

std::vector<std::string> desktopEvents() {
    std::lock_guard lock(g_lock);
    return g_events;
}

void clearDesktopEvents() {
    std::lock_guard lock(g_lock);
    g_events.clear();
}

std::string journalQuote(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            quoted += "\\x";
            quoted += kHex[c >> 4];
            quoted += kHex[c & 15];
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + '"';
}

}  // namespace compat
