#pragma once
// A session bus of a test's own: a dbus-daemon with a configuration of its
// own in the test's folder, which anyone of the user may join and where
// anyone may own any name, with no services that start on demand. It ends
// with the object, or with the thread that made it.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace ovix::testing {

class PrivateSessionBus {
public:
    // Starts the daemon in `folder` (which must exist) and waits until it
    // listens; address() is empty when it could not be started.
    explicit PrivateSessionBus(const std::filesystem::path& folder);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};

}  // namespace ovix::testing
