#include "compat/system/TerminationSignals.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "base/UniqueFd.h"

namespace compat {

namespace {

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal)) {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, &m_previousMask);
    ovix::UniqueFd descriptor(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    // Without a descriptor the signals keep their default action.
    if (!descriptor) {
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        return;
    }
    // The listening thread owns the descriptor and closes it as it ends.
    m_thread = std::thread([this, descriptor = std::move(descriptor)] { listen(descriptor.get()); });
}

TerminationSignals::~TerminationSignals() {
    m_stop.set();
    if (m_thread.joinable())
        m_thread.join();
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void TerminationSignals::listen(int signalDescriptor) {
    pollfd descriptors[2] = {{signalDescriptor, POLLIN, 0}, {m_stop.waitDescriptor(), POLLIN, 0}};
    for (;;) {
        if (poll(descriptors, 2, -1) < 0 && errno != EINTR)
            break;
        if (descriptors[1].revents != 0)
            break;
        signalfd_siginfo info;
        while (read(signalDescriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            m_onSignal(static_cast<int>(info.ssi_signo));
    }
}

}  // namespace compat
