#pragma once
// An HTTP/1.1 server on 127.0.0.1, at a port the kernel picks, for tests of
// HTTP clients. Each connection is served on a thread of its own: the request
// head is read and recorded as it came, then answered by the reply set for
// its target (404 when none) and the connection closed. Replies may be
// changed while it runs; any thread may call it.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "compat/system/Waitable.h"

namespace ovix::testing {

class LoopbackHttpServer {
public:
    struct Reply {
        enum class Kind {
            Answer,   // status, headers and body
            Close,    // closes the connection without a word
            Hang,     // reads the request and never answers
            Endless,  // status and headers, then body bytes until the client leaves
            Raw,      // the body's bytes as they are, then closes: an answer cut anywhere
        };
        enum class Framing { Length, Chunked, UntilClose };
        Kind kind = Kind::Answer;
        int status = 200;
        std::vector<std::string> headers{};  // "Name: value" lines added to the answer
        std::string body{};
        Framing framing = Framing::Length;
    };

    // Throws std::system_error when it cannot listen.
    LoopbackHttpServer();
    // Stops listening, ends every connection (hanging ones too) and joins.
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by `target`.
    std::string url(std::string_view target = "/") const;
    // The reply to requests for `target` (path and query, as in the request line).
    void setReply(const std::string& target, Reply reply);
    // Each request head received, from its request line to its blank line.
    std::vector<std::string> requests() const;

private:
    void acceptLoop();
    void serve(UniqueFd connection);
    bool waitReadable(int fd) const;
    bool sendAll(int fd, std::string_view bytes) const;

    UniqueFd m_listener;
    std::uint16_t m_port = 0;
    compat::WaitableEvent m_stop;
    mutable std::mutex m_lock;
    std::map<std::string, Reply> m_replies;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

}  // namespace ovix::testing
