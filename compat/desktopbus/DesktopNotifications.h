#pragma once
// Notices on the desktop through org.freedesktop.Notifications. Requests go
// out one at a time, in order: a notice shown under a key replaces the one
// shown before under that key, and closing a key closes its notice. The
// server's capabilities are asked first, so that the texts are escaped for a
// server that reads markup in the body. On the bus thread only.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "compat/desktopbus/SessionBus.h"

namespace compat {

class DesktopNotifications {
public:
    struct Notice {
        std::string summary;
        std::string body;
        std::string icon;     // a themed icon name; empty: none
        int timeoutMs = -1;   // -1: the server's choice; 0: until closed
    };
    // Notices under this key replace nothing.
    static constexpr unsigned kNoKey = 0;

    // `appName` is sent with every notice; `unavailable` is told why a
    // request found no server.
    DesktopNotifications(sd_bus* bus, std::string appName, std::function<void(const std::string&)> unavailable);
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    void show(unsigned key, Notice notice);
    void close(unsigned key);
    // Whether every request has gone out and been answered.
    bool settled() const { return !m_call && m_requests.empty(); }

private:
    struct Request {
        unsigned key = kNoKey;
        std::optional<Notice> notice;  // empty: close
    };

    static int onCapabilities(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onNotified(sd_bus_message* reply, void* self, sd_bus_error* error);

    void sendNext();
    // False, with the server told unavailable, when `reply` is an error.
    bool answered(sd_bus_message* reply);

    sd_bus* m_bus;
    std::string m_appName;
    std::function<void(const std::string&)> m_unavailable;
    std::deque<Request> m_requests;
    std::optional<bool> m_markup;         // whether the server reads markup in the body; empty: not asked yet
    std::map<unsigned, std::uint32_t> m_shown;  // the server's id of the notice shown under each key
    unsigned m_sentKey = kNoKey;          // the key of the notice sent
    BusSlot m_call;                       // the request waiting for its answer
};

// `text` with "&", "<" and ">" as entities, for a body that is read as markup.
std::string markupEscaped(const std::string& text);

}  // namespace compat
