#include "compat/system/Waitable.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

namespace compat {

std::optional<std::size_t> waitForAny(std::initializer_list<const Waitable*> objects,
                                      std::optional<std::chrono::milliseconds> timeout) {
    std::vector<pollfd> descriptors;
    descriptors.reserve(objects.size());
    for (const Waitable* object : objects)
        descriptors.push_back(pollfd{object->waitDescriptor(), POLLIN, 0});
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        int waitMs = -1;
        if (timeout) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            waitMs = static_cast<int>(std::max<long long>(0, left));
        }
        const int ready = poll(descriptors.data(), descriptors.size(), waitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        for (std::size_t i = 0; i < descriptors.size(); ++i) {
            if (descriptors[i].revents != 0)
                return i;
        }
        return std::nullopt;
    }
}

WaitableEvent::WaitableEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_fd)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

void WaitableEvent::set() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_fd.get(), &one, sizeof one);
}

bool WaitableEvent::isSet() const {
    pollfd descriptor{m_fd.get(), POLLIN, 0};
    return poll(&descriptor, 1, 0) == 1;
}

}  // namespace compat
