#include "compat/ipc/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/UniqueFd.h"
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

ovix::UniqueFd openLockFile(std::string_view name) {
    if (!ensureRuntimeFolder())
        return ovix::UniqueFd();
    const auto path = runtimeFolder() / lockFileName(name);
    return ovix::UniqueFd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

bool tryLock(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

NamedMutex::NamedMutex(std::string_view name) : m_fd(openLockFile(name)) {
    if (!m_fd)
        return;
    // isHeld takes a shared lock for an instant: a few quick retries keep
    // such a look from passing for a holder.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (tryLock(m_fd.get(), LOCK_EX)) {
            m_state = State::Owned;
            return;
        }
        if (errno != EWOULDBLOCK)
            break;
        usleep(2000);
    }
    // Closing the descriptor keeps the errno of the failed lock.
    m_fd.reset();
    if (errno == EWOULDBLOCK)
        m_state = State::HeldElsewhere;
}

void NamedMutex::release() {
    m_fd.reset();
}

bool NamedMutex::isHeld(std::string_view name) {
    const ovix::UniqueFd fd = openLockFile(name);
    return fd && !tryLock(fd.get(), LOCK_SH) && errno == EWOULDBLOCK;
}

}  // namespace compat
