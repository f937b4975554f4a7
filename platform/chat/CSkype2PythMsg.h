#pragma once
// One message the chat bridge queues for the application: an adapter event,
// a received message or a failure, with its receiver, sender and code.

#include <cstdint>
#include <string>

namespace ovix {

class CSkype2PythMsg {
public:
    // A null text is kept as the empty text.
    CSkype2PythMsg(std::uint32_t code, const char* from, const char* to, const char* msg)
        : m_to(to ? to : ""), m_msg(msg ? msg : ""), m_from(from ? from : ""), m_code(code) {}

    // The receiver: the adapter's login, or the bridge's first string for a
    // failure while it starts.
    const char* GetTo() const { return m_to.c_str(); }
    // The text, an event marker or a failure's text.
    const char* GetMsg() const { return m_msg.c_str(); }
    // The sender of a received message; empty for everything else.
    const char* GetFrom() const { return m_from.c_str(); }
    // 0 for events and received messages, else the failure's code.
    std::uint32_t GetMsgCode() const { return m_code; }

private:
    std::string m_to;
    std::string m_msg;
    std::string m_from;
    std::uint32_t m_code;
};

}  // namespace ovix
