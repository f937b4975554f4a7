#pragma once
// Things a thread can wait for, one or several at once: the end of a process
// (Process.h) or an event that another thread sets.

#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <optional>

#include "base/UniqueFd.h"

namespace compat {

class Waitable {
public:
    virtual ~Waitable() = default;
    // A descriptor that polls readable once the object is signalled, and
    // stays so; -1 when it never will be.
    virtual int waitDescriptor() const = 0;
};

// Waits until one of `objects` is signalled or `timeout` has passed (none:
// without limit). The index of the first signalled one; empty on time-out.
std::optional<std::size_t> waitForAny(std::initializer_list<const Waitable*> objects,
                                      std::optional<std::chrono::milliseconds> timeout = std::nullopt);

// An event that stays set once any thread has set it.
class WaitableEvent : public Waitable {
public:
    // Throws std::system_error when the system has no descriptor to spare.
    WaitableEvent();
    WaitableEvent(const WaitableEvent&) = delete;
    WaitableEvent& operator=(const WaitableEvent&) = delete;

    void set();
    bool isSet() const;
    int waitDescriptor() const override { return m_fd.get(); }

private:
    ovix::UniqueFd m_fd;
};

}  // namespace compat
