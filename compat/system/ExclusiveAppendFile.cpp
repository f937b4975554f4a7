#include "compat/system/ExclusiveAppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace compat {

std::optional<ExclusiveAppendFile> ExclusiveAppendFile::open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::nullopt;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return std::nullopt;
    }
    return ExclusiveAppendFile(fd);
}

ExclusiveAppendFile& ExclusiveAppendFile::operator=(ExclusiveAppendFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

ExclusiveAppendFile::~ExclusiveAppendFile() {
    if (m_fd >= 0)
        close(m_fd);
}

bool ExclusiveAppendFile::append(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(m_fd, text.data(), text.size());
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
