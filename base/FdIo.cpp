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

namespace {

// Calls readPart(into, count, done) until `size` bytes, the end or a failure.
template <class ReadPart>
ReadResult readLoop(char* to, std::size_t size, ReadPart readPart) {
    ReadResult result;
    while (result.count < size) {
        const ssize_t part = readPart(to + result.count, size - result.count, result.count);
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

}  // namespace

ReadResult readUpTo(int fd, char* to, std::size_t size) {
    return readLoop(to, size, [fd](char* into, std::size_t count, std::size_t) { return read(fd, into, count); });
}

ReadResult readUpToAt(int fd, char* to, std::size_t size, off_t offset) {
    return readLoop(to, size, [fd, offset](char* into, std::size_t count, std::size_t done) {
        return pread(fd, into, count, offset + static_cast<off_t>(done));
    });
}

}  // namespace ovix
