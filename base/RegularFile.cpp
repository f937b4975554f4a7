#include "base/RegularFile.h"

#include <sys/stat.h>

#include <cerrno>

namespace ovix {

RegularFile openRegularFile(const std::filesystem::path& path, int flags, mode_t mode) {
    return openRegularFileAt(AT_FDCWD, path.c_str(), flags, mode);
}

RegularFile openRegularFileAt(int folder, const char* name, int flags, mode_t mode) {
    RegularFile file;
    file.fd.reset(openat(folder, name, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode));
    if (!file.fd) {
        // A FIFO without a reader, a socket or a device without a driver
        // (ENXIO), or a folder opened for writing.
        file.notRegular = errno == ENXIO || errno == EISDIR;
        return file;
    }
    struct stat info {};
    if (fstat(file.fd.get(), &info) != 0) {
        file.fd.close();
        return file;
    }
    if (!S_ISREG(info.st_mode)) {
        file.fd.reset();
        file.notRegular = true;
        return file;
    }
    file.size = info.st_size;
    return file;
}

}  // namespace ovix
