#include "compat/FileText.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "compat/MessageQueue.h"

namespace compat {

std::optional<std::string> readFileText(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            close(fd);
            errno = error;
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

bool replaceFileText(const std::filesystem::path& path, std::string_view text) {
    auto temporary = path;
    temporary += ".tmp-" + std::to_string(currentThreadId());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    while (written && !text.empty()) {
        const ssize_t put = write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR)
            continue;
        written = put > 0;
        if (written)
            text.remove_prefix(static_cast<std::size_t>(put));
    }
    written = written && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace compat
