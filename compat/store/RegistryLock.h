#pragma once
// A lock of the registry store: the file "<name>.lock" under the store's root,
// held with flock for the life of the object, so that its holders in this
// process and in others run one at a time. Not reentrant: a thread must not
// take a lock that it holds.

#include <string_view>

#include "base/UniqueFd.h"

namespace compat {

class RegistryLock {
public:
    // Waits until the lock is free and takes it.
    explicit RegistryLock(std::string_view name);

    // False when the root or the lock file cannot be made, or the lock cannot
    // be taken (errno kept).
    bool held() const { return static_cast<bool>(m_fd); }

private:
    ovix::UniqueFd m_fd;
};

}  // namespace compat
