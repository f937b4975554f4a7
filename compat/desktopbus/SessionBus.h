#pragma once
// A connection to a D-Bus bus served on a thread of its own. Connecting
// happens on the opening thread and does not wait for the bus to answer;
// everything after it runs on the bus thread, which the posted tasks reach in
// the order they were posted. sd-bus objects of the connection (its messages,
// slots, vtables) belong to the bus thread alone.

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/UniqueFd.h"

namespace compat {

// Owns one sd-bus slot (a vtable, a match, a pending call): letting it go
// removes the object or cancels the call.
struct BusSlotRelease {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using BusSlot = std::unique_ptr<sd_bus_slot, BusSlotRelease>;

struct BusMessageRelease {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusMessage = std::unique_ptr<sd_bus_message, BusMessageRelease>;

class SessionBus {
public:
    struct Handlers {
        // Whether nothing the owner sent still waits for an answer; ending
        // waits for it, for at most kEndingLimit. Empty: always settled.
        std::function<bool()> settled;
        // On the bus thread, once, as the last thing it does before the
        // connection closes: the owner lets its slots go. `lostReason` tells
        // why the bus closed the connection; empty when the owner ended it.
        std::function<void(const std::string& lostReason)> ended;
    };

    static constexpr std::chrono::milliseconds kEndingLimit{500};
    // What a method call waits for its answer at most.
    static constexpr std::chrono::seconds kCallLimit{5};

    // Connects to the bus at `address`, or to the user's session bus
    // (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus) when it is empty,
    // and starts the bus thread. Null, with errno set, when there is no bus
    // to connect to.
    static std::unique_ptr<SessionBus> open(const std::string& address, Handlers handlers);
    // Runs what was posted, waits a moment for the owner to settle and for
    // the queued messages to leave, then ends the thread and the connection.
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Runs `task` on the bus thread; dropped once the connection has ended.
    void post(std::function<void(sd_bus*)> task);

private:
    SessionBus(sd_bus* bus, ovix::UniqueFd wake, Handlers handlers);

    void wakeUp();
    void run();
    void runPosted();
    void beginEnding();
    void endWhenSettled();

    sd_bus* m_bus;                // the bus thread's once it runs
    sd_event* m_event = nullptr;  // the bus thread's
    ovix::UniqueFd m_wake;  // an eventfd: posted tasks or the end are waiting
    Handlers m_handlers;
    bool m_draining = false;  // bus thread only

    std::mutex m_lock;
    std::deque<std::function<void(sd_bus*)>> m_posted;
    bool m_ending = false;   // the owner ends the connection
    bool m_finished = false;  // the bus thread has ended
    std::thread m_thread;
};

}  // namespace compat
