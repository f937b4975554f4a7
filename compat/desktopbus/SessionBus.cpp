#include "compat/desktopbus/SessionBus.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "compat/system/SystemError.h"

namespace compat {

namespace {

std::uint64_t microseconds(std::chrono::microseconds duration) {
    return static_cast<std::uint64_t>(duration.count());
}

}  // namespace

std::unique_ptr<SessionBus> SessionBus::open(const std::string& address, Handlers handlers) {
    sd_bus* bus = nullptr;
    int result;
    if (address.empty()) {
        result = sd_bus_open_user(&bus);
    } else {
        result = sd_bus_new(&bus);
        if (result >= 0)
            result = sd_bus_set_address(bus, address.c_str());
        if (result >= 0)
            result = sd_bus_set_bus_client(bus, 1);
        if (result >= 0)
            result = sd_bus_start(bus);
    }
    if (result >= 0)
        result = sd_bus_set_method_call_timeout(bus, microseconds(kCallLimit));
    ovix::UniqueFd wake;
    if (result >= 0) {
        wake.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!wake)
            result = -errno;
    }
    if (result < 0) {
        sd_bus_close_unref(bus);
        errno = -result;
        return nullptr;
    }
    std::unique_ptr<SessionBus> session(new SessionBus(bus, std::move(wake), std::move(handlers)));
    try {
        session->m_thread = std::thread([bus = session.get()] { bus->run(); });
    } catch (const std::system_error& error) {
        errno = error.code().value();
        return nullptr;
    }
    return session;
}

SessionBus::SessionBus(sd_bus* bus, ovix::UniqueFd wake, Handlers handlers)
    : m_bus(bus), m_wake(std::move(wake)), m_handlers(std::move(handlers)) {}

SessionBus::~SessionBus() {
    {
        std::lock_guard lock(m_lock);
        m_ending = true;
    }
    wakeUp();
    if (m_thread.joinable())
        m_thread.join();
    // Only when the thread never ran.
    if (m_bus)
        sd_bus_close_unref(m_bus);
}

void SessionBus::post(std::function<void(sd_bus*)> task) {
    {
        std::lock_guard lock(m_lock);
        if (m_finished)
            return;
        m_posted.push_back(std::move(task));
    }
    wakeUp();
}

void SessionBus::wakeUp() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_wake.get(), &one, sizeof one);
}

void SessionBus::run() {
    int result = sd_event_new(&m_event);
    if (result >= 0)
        result = sd_bus_attach_event(m_bus, m_event, SD_EVENT_PRIORITY_NORMAL);
    // Without this the loop would not see the bus leave.
    if (result >= 0)
        result = sd_bus_set_exit_on_disconnect(m_bus, 1);
    if (result >= 0)
        result = sd_event_add_io(
            m_event, nullptr, m_wake.get(), EPOLLIN,
            [](sd_event_source*, int fd, std::uint32_t, void* self) {
                std::uint64_t count;
                [[maybe_unused]] const auto got = read(fd, &count, sizeof count);
                static_cast<SessionBus*>(self)->runPosted();
                return 0;
            },
            this);
    if (result >= 0)
        result = sd_event_loop(m_event);

    std::string lostReason;
    {
        std::lock_guard lock(m_lock);
        if (!m_ending)
            lostReason = result < 0 ? systemErrorText(-result) : "the bus closed the connection";
        m_finished = true;
        m_posted.clear();
    }
    if (m_handlers.ended)
        m_handlers.ended(lostReason);
    sd_bus_detach_event(m_bus);
    sd_bus_close_unref(m_bus);
    m_bus = nullptr;
    sd_event_unref(m_event);
}

void SessionBus::runPosted() {
    std::deque<std::function<void(sd_bus*)>> tasks;
    bool ending;
    {
        std::lock_guard lock(m_lock);
        tasks.swap(m_posted);
        ending = m_ending;
    }
    for (auto& task : tasks)
        task(m_bus);
    if (ending && !m_draining)
        beginEnding();
}

void SessionBus::beginEnding() {
    m_draining = true;
    const auto exitLoop = [](sd_event_source* source, std::uint64_t, void*) {
        return sd_event_exit(sd_event_source_get_event(source), 0);
    };
    // After every event, until it is settled; at the limit in any case.
    sd_event_add_post(
        m_event, nullptr,
        [](sd_event_source*, void* self) {
            static_cast<SessionBus*>(self)->endWhenSettled();
            return 0;
        },
        this);
    if (sd_event_add_time_relative(m_event, nullptr, CLOCK_MONOTONIC, microseconds(kEndingLimit), 0, exitLoop,
                                   nullptr) < 0)
        sd_event_exit(m_event, 0);
    endWhenSettled();
}

void SessionBus::endWhenSettled() {
    std::uint64_t queued = 0;
    const bool written = sd_bus_get_n_queued_write(m_bus, &queued) < 0 || queued == 0;
    if (written && (!m_handlers.settled || m_handlers.settled()))
        sd_event_exit(m_event, 0);
}

}  // namespace compat
