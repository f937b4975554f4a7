#pragma once
// A file opened for appending with other writers shut out: while one process
// has it open through this class, every other attempt to open it so fails.
// Readers are not affected. Made when missing (mode 0644).

#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "base/UniqueFd.h"

namespace compat {

class ExclusiveAppendFile {
public:
    // Empty, with errno set, when the file cannot be opened or another writer
    // has it (EWOULDBLOCK).
    static std::optional<ExclusiveAppendFile> open(const std::filesystem::path& path);

    // Adds `text` at the end of the file; false when not all of it was written.
    bool append(std::string_view text);

private:
    explicit ExclusiveAppendFile(ovix::UniqueFd fd) : m_fd(std::move(fd)) {}
    ovix::UniqueFd m_fd;
};

}  // namespace compat
