#include "compat/system/ExclusiveAppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace compat {

std::optional<ExclusiveAppendFile> ExclusiveAppendFile::open(const std::filesystem::path& path) {
    ovix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    // Closing the descriptor keeps the errno of a failed lock.
    if (!fd || flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    return ExclusiveAppendFile(std::move(fd));
}

bool ExclusiveAppendFile::append(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(m_fd.get(), text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace compat
