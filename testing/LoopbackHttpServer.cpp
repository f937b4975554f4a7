#include "testing/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace ovix::testing {

namespace {

// The status line and headers of an answer, without the blank line.
std::string answerHead(const LoopbackHttpServer::Reply& reply) {
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\nConnection: close\r\n";
    for (const auto& header : reply.headers)
        head += header + "\r\n";
    return head;
}

std::string chunk(std::string_view bytes) {
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return size + std::string(bytes) + "\r\n";
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : m_listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (!m_listener || bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener.get(), 64) != 0 ||
        getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::system_error(errno, std::generic_category(), "loopback server");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_stop.set();
    m_acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_lock);
        connections.swap(m_connections);
    }
    for (auto& connection : connections)
        connection.join();
}

std::string LoopbackHttpServer::url(std::string_view target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(target);
}

void LoopbackHttpServer::setReply(const std::string& target, Reply reply) {
    std::lock_guard lock(m_lock);
    m_replies[target] = std::move(reply);
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}

// True when `fd` has input; false once the server stops.
bool LoopbackHttpServer::waitReadable(int fd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_stop.waitDescriptor(), POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
        if (errno != EINTR)
            return false;
    }
    return !(fds[1].revents & POLLIN);
}

bool LoopbackHttpServer::sendAll(int fd, std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0 || m_stop.isSet())
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void LoopbackHttpServer::acceptLoop() {
    while (waitReadable(m_listener.get())) {
        UniqueFd connection(accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection)
            continue;
        std::lock_guard lock(m_lock);
        m_connections.emplace_back([this, fd = connection.release()] { serve(UniqueFd(fd)); });
    }
}

void LoopbackHttpServer::serve(UniqueFd connection) {
    const int fd = connection.get();
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        char buffer[4096];
        if (!waitReadable(fd))
            return;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    head.resize(head.find("\r\n\r\n") + 4);
    const auto targetStart = head.find(' ') + 1;
    const auto target = head.substr(targetStart, head.find(' ', targetStart) - targetStart);
    Reply reply{.status = 404, .body = "not found"};
    {
        std::lock_guard lock(m_lock);
        m_requests.push_back(head);
        if (const auto found = m_replies.find(target); found != m_replies.end())
            reply = found->second;
    }
    switch (reply.kind) {
        case Reply::Kind::Close:
            return;
        case Reply::Kind::Hang:
            while (waitReadable(fd)) {
                char buffer[256];
                if (recv(fd, buffer, sizeof buffer, 0) <= 0)
                    return;
            }
            return;
        case Reply::Kind::Endless: {
            if (!sendAll(fd, answerHead(reply) + "\r\n"))
                return;
            const std::string block(65536, 'x');
            while (sendAll(fd, block)) {
            }
            return;
        }
        case Reply::Kind::Raw:
            sendAll(fd, reply.body);
            return;
        case Reply::Kind::Answer:
            break;
    }
    std::string answer = answerHead(reply);
    if (reply.framing == Reply::Framing::Length)
        answer += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
    else if (reply.framing == Reply::Framing::UntilClose)
        answer += "\r\n" + reply.body;
    else {
        answer += "Transfer-Encoding: chunked\r\n\r\n";
        for (std::size_t at = 0; at < reply.body.size(); at += 1000)
            answer += chunk(std::string_view(reply.body).substr(at, 1000));
        answer += "0\r\n\r\n";
    }
    sendAll(fd, answer);
}

}  // namespace ovix::testing
