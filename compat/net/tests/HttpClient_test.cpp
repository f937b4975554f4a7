// The HTTP client against a loopback server: framings, statuses, answers cut
// short, redirects, failures, the body limit, proxies, schemes and the
// descriptors that children of other threads could inherit.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <latch>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "compat/net/HttpClient.h"
#include "testing/LoopbackHttpServer.h"
#include "testing/ScratchFolder.h"

namespace compat {

namespace {

using namespace std::chrono_literals;
using ovix::testing::LoopbackHttpServer;
using Reply = LoopbackHttpServer::Reply;

constexpr std::size_t kMiB = 1 << 20;

// ThreadSanitizer knows one descriptor table per process, and the client's
// requests run in a table of their own, numbered from 3 as the process's is:
// the process's descriptors are kept from 256 up, so that the tool never
// takes one of them for one of the client's.
const bool kDescriptorsApart = [] {
    const int filler = open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (int fd = 3; filler >= 0 && fd < 256; ++fd) {
        if (fcntl(fd, F_GETFD) < 0)
            dup3(filler, fd, O_CLOEXEC);
    }
    return true;
}();

class HttpClientTest : public ::testing::Test {
protected:
    std::optional<HttpResponse> get(const std::string& target, HttpRequest request = {}) {
        request.url = m_server.url(target);
        return httpGet(request);
    }

    LoopbackHttpServer m_server;
};

// The body comes whole however it is framed; any status is given back.
TEST_F(HttpClientTest, AnswersAsServed) {
    const std::string large(300000, 'b');
    struct Case {
        Reply reply;
        long status;
        std::string body;
    };
    const Case cases[] = {
        {{.status = 200, .body = "hello"}, 200, "hello"},
        {{.status = 404, .body = "missing"}, 404, "missing"},
        {{.status = 500, .body = ""}, 500, ""},
        {{.status = 503, .body = large, .framing = Reply::Framing::Chunked}, 503, large},
        {{.status = 200, .body = large, .framing = Reply::Framing::UntilClose}, 200, large},
        {{.status = 200, .body = std::string(kMiB, 'c'), .framing = Reply::Framing::Chunked}, 200,
         std::string(kMiB, 'c')},
    };
    for (const auto& c : cases) {
        m_server.setReply("/page", c.reply);
        const auto response = get("/page");
        ASSERT_TRUE(response) << c.status;
        EXPECT_EQ(response->status, c.status);
        EXPECT_EQ(response->body, c.body) << c.status;
    }
}

TEST_F(HttpClientTest, SendsTheRequestAsGiven) {
    m_server.setReply("/p?q=1", {.body = "x"});
    ASSERT_TRUE(get("/p?q=1", {.headers = {"Content-Type: application/x-www-form-urlencoded"}}));
    ASSERT_TRUE(get("/p?q=1", {.userAgent = "Web Service Client"}));
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& head : requests) {
        EXPECT_EQ(head.rfind("GET /p?q=1 HTTP/1.1\r\n", 0), 0u) << head;
        EXPECT_NE(head.find("\r\nHost: 127.0.0.1:" + std::to_string(m_server.port()) + "\r\n"), std::string::npos);
    }
    EXPECT_NE(requests[0].find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_EQ(requests[0].find("User-Agent"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nUser-Agent: Web Service Client\r\n"), std::string::npos);
    EXPECT_EQ(requests[1].find("Content-Type"), std::string::npos);
}

// An answer cut anywhere before its end is no answer; without the body the
// header block alone must be whole. A redirect is not taken from a header
// block that did not end.
TEST_F(HttpClientTest, AnswerCutShort) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n";
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char* cut;
        std::string bytes;
        bool wholeHead;
        bool wholeAnswer;
    };
    const Case cases[] = {
        {"nothing", "", false, false},
        {"inside the status line", "HTTP/1.1 20", false, false},
        {"after the status line", "HTTP/1.1 200 OK\r\n", false, false},
        {"inside a header", "HTTP/1.1 200 OK\r\nContent-Le", false, false},
        {"before the blank line", head, false, false},
        {"inside the blank line", head + "\r", false, false},
        {"inside an interim answer", "HTTP/1.1 100 Continue\r\n", false, false},
        {"after an interim answer", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", false, false},
        {"before the declared body", head + "\r\n", true, false},
        {"inside the declared body", head + "\r\nhel", true, false},
        {"inside a chunk size", chunked + "5", true, false},
        {"inside a chunk", chunked + "5\r\nhel", true, false},
        {"after a chunk", chunked + "5\r\nhello\r\n", true, false},
        {"after the last chunk size", chunked + "5\r\nhello\r\n0\r\n", true, false},
        {"inside a redirect's header block", "HTTP/1.1 302 Found\r\nLocation: /whole\r\n", false, false},
        // The whole answers of the same kinds.
        {"at the end of the declared body", head + "\r\nhello", true, true},
        {"at the end of the last chunk", chunked + "5\r\nhello\r\n0\r\n\r\n", true, true},
        {"where nothing is declared", "HTTP/1.1 200 OK\r\n\r\nhel", true, true},
    };
    m_server.setReply("/whole", {.body = "redirected"});
    for (const auto& c : cases) {
        m_server.setReply("/cut", {.kind = Reply::Kind::Raw, .body = c.bytes});
        EXPECT_EQ(get("/cut").has_value(), c.wholeAnswer) << c.cut;
        EXPECT_EQ(get("/cut", {.readBody = false}).has_value(), c.wholeHead) << c.cut;
    }
    for (const auto& request : m_server.requests())
        EXPECT_EQ(request.rfind("GET /cut ", 0), 0u) << request;
}

// Up to five redirects are followed; the sixth fails.
TEST_F(HttpClientTest, FollowsFiveRedirects) {
    for (int i = 0; i < 6; ++i)
        m_server.setReply("/r" + std::to_string(i), {.status = 302, .headers = {"Location: /r" + std::to_string(i + 1)}});
    m_server.setReply("/r6", {.body = "there"});
    const auto fifth = get("/r1");
    ASSERT_TRUE(fifth);
    EXPECT_EQ(fifth->status, 200);
    EXPECT_EQ(fifth->body, "there");
    EXPECT_FALSE(get("/r0"));
}

// A time limit that is not positive is refused before anything is sent.
TEST_F(HttpClientTest, TimeLimitMustBePositive) {
    m_server.setReply("/page", {.body = "x"});
    for (const auto limit : {0ms, -1ms})
        EXPECT_THROW(get("/page", {.timeLimit = limit}), std::invalid_argument) << limit.count();
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(HttpClientTest, NoAnswerIsAFailure) {
    m_server.setReply("/close", {.kind = Reply::Kind::Close});
    m_server.setReply("/hang", {.kind = Reply::Kind::Hang});
    EXPECT_FALSE(get("/close"));
    EXPECT_FALSE(get("/hang", {.timeLimit = 300ms}));
    // A port where nobody listens.
    std::optional<std::string> closedUrl;
    {
        LoopbackHttpServer gone;
        closedUrl = gone.url("/");
    }
    EXPECT_FALSE(httpGet({.url = *closedUrl}));
    EXPECT_FALSE(httpGet({.url = "http://"}));
}

// A body over the limit fails the request, however it is framed.
TEST_F(HttpClientTest, BodyLimit) {
    for (const auto framing : {Reply::Framing::Length, Reply::Framing::Chunked, Reply::Framing::UntilClose}) {
        m_server.setReply("/at", {.body = std::string(kMiB, 'a'), .framing = framing});
        m_server.setReply("/over", {.body = std::string(kMiB + 1, 'a'), .framing = framing});
        const auto at = get("/at");
        ASSERT_TRUE(at);
        EXPECT_EQ(at->body.size(), kMiB);
        EXPECT_FALSE(get("/over"));
        EXPECT_FALSE(get("/at", {.bodyLimit = 1000}));
    }
}

// Without the body the exchange ends at the status, so a page of any size
// answers, even one that never ends.
TEST_F(HttpClientTest, StatusWithoutTheBody) {
    m_server.setReply("/endless", {.kind = Reply::Kind::Endless, .status = 200});
    m_server.setReply("/moved", {.status = 301, .headers = {"Location: /endless"}, .body = "moved"});
    for (const char* target : {"/endless", "/moved"}) {
        const auto response = get(target, {.timeLimit = 10s, .readBody = false});
        ASSERT_TRUE(response) << target;
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(response->body, "");
    }
}

TEST_F(HttpClientTest, LoopbackNeverThroughAProxy) {
    LoopbackHttpServer proxy;
    const auto proxyUrl = proxy.url("");
    for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY"})
        setenv(name, proxyUrl.c_str(), 1);
    m_server.setReply("/", {.body = "direct"});
    const auto direct = get("/");
    const auto byName = httpGet({.url = "http://localhost:" + std::to_string(m_server.port()) + "/"});
    for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY"})
        unsetenv(name);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->body, "direct");
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->body, "direct");
    EXPECT_TRUE(proxy.requests().empty());
}

// Other schemes are refused before anything is opened: a named pipe would
// block the reader.
TEST_F(HttpClientTest, OnlyHttpAndHttps) {
    ovix::testing::ScratchFolder scratch;
    const auto pipe = scratch / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(httpGet({.url = "file://" + pipe.string()}));
    m_server.setReply("/to-file", {.status = 302, .headers = {"Location: file://" + pipe.string()}});
    EXPECT_FALSE(get("/to-file"));
    EXPECT_FALSE(httpGet({.url = "ftp://127.0.0.1:" + std::to_string(m_server.port()) + "/"}));
    EXPECT_EQ(m_server.requests().size(), 1u);
}

// A process started while a request is open does not inherit its socket.
TEST_F(HttpClientTest, SocketIsCloseOnExec) {
    auto server = std::make_unique<LoopbackHttpServer>();
    server->setReply("/hang", {.kind = Reply::Kind::Hang});
    const auto before = ovix::testing::inheritableDescriptors();
    auto request = std::async(std::launch::async, [&] { return httpGet({.url = server->url("/hang"), .timeLimit = 60s}); });
    ASSERT_TRUE(ovix::testing::eventually([&] { return server->requests().size() == 1; }));
    EXPECT_EQ(ovix::testing::inheritableDescriptors(), before);
    // The server going away ends the request.
    server.reset();
    EXPECT_FALSE(request.get());
}

// Requests on four threads while this one makes inheritable socket pairs and
// starts children: no child inherits a descriptor of the client, and every
// pair stays inheritable. The four keep requests open nearly all the time: a
// socket that a child could inherit shows in almost every one of the twenty.
// scripts/test --tsan runs it under ThreadSanitizer.
TEST_F(HttpClientTest, ChildrenInheritNothingOfTheClient) {
    m_server.setReply("/page", {.body = "x"});
    const auto inherited = ovix::testing::inheritableDescriptors();
    constexpr int kClients = 4;
    std::latch clientsAtWork(kClients);
    std::atomic<bool> spawning{true};
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&] {
            bool first = true;
            while (first || spawning) {
                if (!get("/page"))
                    ++failures;
                if (std::exchange(first, false))
                    clientsAtWork.count_down();
            }
        });
    clientsAtWork.wait();
    for (int child = 0; child < 20; ++child) {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        auto expected = inherited;
        expected.insert(pair, pair + 2);
        const auto listing = ovix::testing::commandOutput("ls -l /proc/self/fd");
        int listed = 0;
        EXPECT_EQ(ovix::testing::strayDescriptors(listing, expected, listed), std::vector<std::string>{}) << child;
        for (const int fd : pair) {
            EXPECT_NE(listing.find(" " + std::to_string(fd) + " -> socket:["), std::string::npos) << listing;
            EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << fd;
            close(fd);
        }
    }
    spawning = false;
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(failures, 0);
}

}  // namespace

}  // namespace compat
