#include "testing/desktopbus/PrivateSessionBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace ovix::testing {

namespace {

constexpr int kListenLimitMs = 10'000;

}  // namespace

PrivateSessionBus::PrivateSessionBus(const std::filesystem::path& folder) {
    const auto config = folder / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n"
                             "  <type>session</type>\n"
                             "  <listen>unix:path="
                          << (folder / "bus").string()
                          << "</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n";
    int address[2];
    if (pipe2(address, O_CLOEXEC) != 0)
        return;
    const std::string configArgument = "--config-file=" + config.string();
    const std::string log = (folder / "bus.log").string();
    m_pid = fork();
    if (m_pid == 0) {
        // Only what is safe between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(address[1], STDOUT_FILENO);
        const int errors = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (errors >= 0)
            dup2(errors, STDERR_FILENO);
        execlp("dbus-daemon", "dbus-daemon", configArgument.c_str(), "--nofork", "--print-address", nullptr);
        _exit(127);
    }
    close(address[1]);
    // The daemon prints its address once it listens.
    std::string printed;
    pollfd ready{address[0], POLLIN, 0};
    char buffer[256];
    while (m_pid > 0 && printed.find('\n') == std::string::npos && poll(&ready, 1, kListenLimitMs) == 1) {
        const auto got = read(address[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        printed.append(buffer, static_cast<std::size_t>(got));
    }
    close(address[0]);
    if (const auto end = printed.find('\n'); end != std::string::npos)
        m_address = printed.substr(0, end);
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
}

}  // namespace ovix::testing
