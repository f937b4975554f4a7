#include "compat/system/ProcessGroup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "base/FileText.h"
#include "compat/system/Process.h"
#include "compat/system/ProcessList.h"

namespace compat {

namespace {

// The group field of /proc/<pid>/stat, after the name in parentheses (which
// may itself hold blanks and parentheses).
std::optional<pid_t> groupOf(const std::string& folder) {
    const auto stat = ovix::readFileText(folder + "/stat");
    if (!stat)
        return std::nullopt;
    const auto nameEnd = stat->rfind(')');
    char state;
    int parent, group;
    if (nameEnd == std::string::npos ||
        std::sscanf(stat->c_str() + nameEnd + 1, " %c %d %d", &state, &parent, &group) != 3)
        return std::nullopt;
    return group;
}

bool holdsEntry(const std::string& folder, std::string_view mark) {
    const auto environment = ovix::readFileText(folder + "/environ");
    if (!environment)
        return false;
    std::string_view rest = *environment;
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        if (rest.substr(0, end) == mark)
            return true;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

bool isMarkedMember(pid_t pid, pid_t group, std::string_view mark) {
    const std::string folder = "/proc/" + std::to_string(pid);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && info.st_uid == geteuid() && groupOf(folder) == group &&
           holdsEntry(folder, mark);
}

}  // namespace

std::size_t endMarkedGroupMembers(pid_t group, std::string_view mark) {
    std::size_t ended = 0;
    for (const pid_t pid : userProcessIds()) {
        if (pid == getpid() || !isMarkedMember(pid, group, mark))
            continue;
        const auto process = Process::open(pid);
        if (process && isMarkedMember(pid, group, mark) && process->terminate())
            ++ended;
    }
    return ended;
}

}  // namespace compat
