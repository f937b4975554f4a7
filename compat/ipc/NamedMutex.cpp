#include "compat/ipc/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "compat/system/XdgFolders.h"

namespace compat {

namespace {

// Any name maps to one safe file name: bytes outside a plain set become %XX.
std::string lockFileName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string file = "mutex-";
    for (unsigned char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (plain) {
            file += static_cast<char>(c);
        } else {
            file += '%';
            file += kHex[c >> 4];
            file += kHex[c & 15];
        }
    }
    return file;
}

int openLockFile(std::string_view name) {
    if (!ensureRuntimeFolder())
        return -1;
    const auto path = runtimeFolder() / lockFileName(name);
    return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

bool tryLock(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

NamedMutex::NamedMutex(std::string_view name) {
    m_fd = openLockFile(name);
    if (m_fd < 0)
        return;
    // isHeld takes a shared lock for an instant: a few quick retries keep
    // such a look from passing for a holder.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (tryLock(m_fd, LOCK_EX)) {
            m_state = State::Owned;
            return;
        }
        if (errno != EWOULDBLOCK)
            break;
        usleep(2000);
    }
    const int error = errno;
    close(m_fd);
    m_fd = -1;
    errno = error;
    if (error == EWOULDBLOCK)
        m_state = State::HeldElsewhere;
}

NamedMutex::~NamedMutex() {
    release();
}

void NamedMutex::release() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool NamedMutex::isHeld(std::string_view name) {
    const int fd = openLockFile(name);
    if (fd < 0)
        return false;
    const bool held = !tryLock(fd, LOCK_SH) && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

}  // namespace compat
