#include "compat/system/ProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace compat {

namespace {

bool runsProgramNamed(pid_t pid, std::string_view name) {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return !error && program.filename() == name;
}

}  // namespace

std::vector<pid_t> userProcessIds() {
    std::vector<pid_t> ids;
    DIR* folder = opendir("/proc");
    if (!folder)
        return ids;
    const uid_t user = geteuid();
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        struct stat info;
        if (fstatat(dirfd(folder), entry->d_name, &info, 0) == 0 && info.st_uid == user)
            ids.push_back(static_cast<pid_t>(std::stol(entry->d_name)));
    }
    closedir(folder);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<Process> findUserProcess(std::string_view name) {
    for (const pid_t pid : userProcessIds()) {
        if (!runsProgramNamed(pid, name))
            continue;
        auto process = Process::open(pid);
        if (process && runsProgramNamed(pid, name))
            return process;
    }
    return std::nullopt;
}

}  // namespace compat
