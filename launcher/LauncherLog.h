#pragma once
// The launcher's log "MorvaneLaunch.log": opened on its first line, relative
// to the current folder at that moment, for appending with other writers shut
// out, and kept open until the process ends. When it cannot be opened the
// line is dropped and the next line tries again. Every thread may write;
// each line is formatted and written whole under one lock.

#include <filesystem>
#include <mutex>
#include <optional>

#include "compat/system/ExclusiveAppendFile.h"

namespace ovix {

class LauncherLog {
public:
    explicit LauncherLog(std::filesystem::path path) : m_path(std::move(path)) {}

    // One printf-style line; the format carries its own newline.
    void write(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::mutex m_lock;
    std::filesystem::path m_path;
    std::optional<compat::ExclusiveAppendFile> m_file;
};

// The log of this process.
LauncherLog& launcherLog();

}  // namespace ovix
