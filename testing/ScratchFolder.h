#pragma once
// Helpers for tests that touch the file system, the environment or other
// processes: a private folder removed at the end, whole-file reads and writes,
// and the descriptors that a child process may legitimately inherit from the
// test itself.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace ovix::testing {

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/ovix-test-XXXXXX";
        if (mkdtemp(pattern))
            m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every folder (its path ending in "/") and file below `root`, by relative
// path, with the files' bytes; lock files (".lock") and empty files left out.
inline std::map<std::string, std::string> folderTree(const std::filesystem::path& root) {
    std::map<std::string, std::string> entries;
    if (!std::filesystem::exists(root))
        return entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto relative = std::filesystem::relative(entry.path(), root).string();
        if (entry.is_directory())
            entries[relative + "/"] = "";
        else if (entry.path().extension() != ".lock" && entry.file_size() > 0)
            entries[relative] = readFile(entry.path());
    }
    return entries;
}

// Polls `condition` every 10 ms until it holds or `limit` has passed.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// What `command`, run by the shell, prints on its standard output, followed
// by "(cannot run)" or "(failed)" when it cannot be run or exits other than 0.
inline std::string commandOutput(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "(cannot run)";
    std::string output;
    char buffer[512];
    while (std::size_t got = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    if (pclose(pipe) != 0)
        output += "(failed)";
    return output;
}

// Descriptors of this process that survive exec: a child inherits them from
// the test itself (the test runner may leave some open).
inline std::set<int> inheritableDescriptors() {
    std::set<int> result;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        const int flags = fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            result.insert(fd);
    }
    return result;
}

// The descriptors of an "ls -l /proc/self/fd" listing, each as "fd ->
// target", that are none of the standard streams, `inherited` or the
// listing's own folder; `listed` gets how many the listing names.
inline std::vector<std::string> strayDescriptors(const std::string& listing, const std::set<int>& inherited,
                                                 int& listed) {
    std::vector<std::string> stray;
    listed = 0;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);) {
        const auto arrow = line.find(" -> ");
        if (arrow == std::string::npos)
            continue;
        const auto space = line.rfind(' ', arrow - 1);
        const int fd = std::stoi(line.substr(space + 1, arrow - space - 1));
        const std::string target = line.substr(arrow + 4);
        ++listed;
        if (fd > 2 && !inherited.count(fd) && !(target.rfind("/proc/", 0) == 0 && target.ends_with("/fd")))
            stray.push_back(std::to_string(fd) + " -> " + target);
    }
    return stray;
}

}  // namespace ovix::testing
