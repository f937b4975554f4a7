#include "base/FileText.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "base/FdIo.h"
#include "base/RegularFile.h"
#include "base/UniqueFd.h"

namespace ovix {

std::optional<std::string> readFileText(const std::filesystem::path& path, FileTextRead how) {
    RegularFile file = openRegularFile(path, O_RDONLY | (how.followLinks ? 0 : O_NOFOLLOW));
    if (!file.fd) {
        if (file.notRegular)
            errno = EINVAL;
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(file.size) > how.maxBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    // The size is only a hint: files under /proc say 0, and a file may grow.
    std::string text;
    text.reserve(static_cast<std::size_t>(file.size));
    char buffer[4096];
    for (;;) {
        const ReadResult got = readUpTo(file.fd.get(), buffer, sizeof buffer);
        if (got.error != 0) {
            errno = got.error;
            return std::nullopt;
        }
        if (got.count > how.maxBytes - text.size()) {
            errno = EFBIG;
            return std::nullopt;
        }
        text.append(buffer, got.count);
        if (got.count < sizeof buffer)
            return text;
    }
}

bool replaceFileText(const std::filesystem::path& path, std::string_view text) {
    auto temporary = path;
    temporary += ".tmp-" + std::to_string(gettid());
    UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd)
        return false;
    bool written = writeAll(fd.get(), text) && fsync(fd.get()) == 0;
    written = fd.close() && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace ovix
