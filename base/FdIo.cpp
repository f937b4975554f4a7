#include "base/FdIo.h"

#include <errno.h>
#include <unistd.h>

namespace ovix {

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

ReadResult readUpTo(int fd, char* to, std::size_t size) {
    ReadResult result;
    while (result.count < size) {
        const ssize_t part = read(fd, to + result.count, size - result.count);
        if (part < 0 && errno == EINTR)
            continue;
        if (part < 0)
            result.error = errno;
        if (part <= 0)
            break;
        result.count += static_cast<std::size_t>(part);
    }
    return result;
}

}  // namespace ovix
