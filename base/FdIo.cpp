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

std::size_t readUpTo(int fd, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t part = read(fd, to + got, size - got);
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            break;
        got += static_cast<std::size_t>(part);
    }
    return got;
}

}  // namespace ovix
