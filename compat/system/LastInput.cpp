#include "compat/system/LastInput.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <system_error>

namespace compat {

namespace {

bool terminalName(const std::string& name) {
    return name.starts_with("tty") ||
           (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

}  // namespace

std::vector<std::filesystem::path> terminalFolders() {
    return {"/dev/pts", "/dev"};
}

std::optional<std::chrono::system_clock::time_point> lastTerminalInput(
    const std::vector<std::filesystem::path>& folders, uid_t user) {
    std::optional<std::chrono::system_clock::time_point> newest;
    for (const auto& folder : folders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (!terminalName(entry.path().filename().string()))
                continue;
            struct stat info;
            if (lstat(entry.path().c_str(), &info) != 0 || info.st_uid != user ||
                !(S_ISCHR(info.st_mode) || S_ISREG(info.st_mode)))
                continue;
            const auto accessed = std::chrono::system_clock::time_point(
                std::chrono::duration_cast<std::chrono::system_clock::duration>(
                    std::chrono::seconds(info.st_atim.tv_sec) + std::chrono::nanoseconds(info.st_atim.tv_nsec)));
            newest = std::max(newest.value_or(accessed), accessed);
        }
    }
    return newest;
}

}  // namespace compat
