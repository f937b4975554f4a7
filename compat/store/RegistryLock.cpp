#include "compat/store/RegistryLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "compat/store/RegistryKey.h"

namespace compat {

RegistryLock::RegistryLock(std::string_view name) {
    std::error_code error;
    const auto root = registryRoot();
    std::filesystem::create_directories(root, error);
    if (error) {
        errno = error.value();
        return;
    }
    const auto path = root / (std::string(name) + ".lock");
    m_fd.reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!m_fd)
        return;
    int result;
    do {
        result = flock(m_fd.get(), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        m_fd.reset();
}

}  // namespace compat
