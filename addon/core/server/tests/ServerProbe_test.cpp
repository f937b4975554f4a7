// The probe against a loopback server: up only on a 200, decided on the
// status alone, and never longer than its limit.

#include "addon/core/server/ServerProbe.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/LoopbackHttpServer.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::LoopbackHttpServer;
using Reply = LoopbackHttpServer::Reply;

TEST(ServerProbeTest, UpOnlyOnA200) {
    LoopbackHttpServer server;
    struct Case {
        const char* name;
        Reply reply;
        bool up;
    };
    const Case cases[] = {
        {"200", {.status = 200, .body = "sidebar"}, true},
        {"200 chunked", {.status = 200, .body = std::string(5000, 's'), .framing = Reply::Framing::Chunked}, true},
        {"200 of any size", {.status = 200, .body = std::string(4 << 20, 's')}, true},
        {"200 without end", {.kind = Reply::Kind::Endless, .status = 200}, true},
        {"redirect to a 200", {.status = 302, .headers = {"Location: /up"}}, true},
        {"404", {.status = 404}, false},
        {"500", {.status = 500}, false},
        {"503", {.status = 503, .body = "starting"}, false},
        {"redirect to a 404", {.status = 302, .headers = {"Location: /missing"}}, false},
        {"closed", {.kind = Reply::Kind::Close}, false},
        {"closed after a 200's status line", {.kind = Reply::Kind::Raw, .body = "HTTP/1.1 200 OK\r\n"}, false},
        {"closed inside a 200's header",
         {.kind = Reply::Kind::Raw, .body = "HTTP/1.1 200 OK\r\nContent-Type: te"},
         false},
        {"closed before a 200's blank line",
         {.kind = Reply::Kind::Raw, .body = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n"},
         false},
        {"closed inside a redirect's header block to a 200",
         {.kind = Reply::Kind::Raw, .body = "HTTP/1.1 302 Found\r\nLocation: /up\r\n"},
         false},
    };
    server.setReply("/up", {.status = 200});
    for (const auto& c : cases) {
        server.setReply("/sidebar", c.reply);
        EXPECT_EQ(ProbeServer(server.url("/sidebar"), 3000ms), c.up) << c.name;
    }
    const auto first = server.requests().front();
    EXPECT_EQ(first.substr(0, first.find("\r\n")), "GET /sidebar HTTP/1.1");
    EXPECT_NE(first.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos) << first;

    std::string refusedUrl;
    {
        LoopbackHttpServer gone;
        refusedUrl = gone.url("/sidebar");
    }
    EXPECT_FALSE(ProbeServer(refusedUrl, 3000ms));
}

// A limit that is not positive is no probe: false at once, nothing asked.
TEST(ServerProbeTest, LimitNotPositive) {
    LoopbackHttpServer server;
    server.setReply("/sidebar", {.status = 200});
    for (const auto limit : {0ms, -1ms})
        EXPECT_FALSE(ProbeServer(server.url("/sidebar"), limit)) << limit.count();
    EXPECT_TRUE(server.requests().empty());
}

// A server that takes the request and never answers is not up, once the
// probe's limit is over.
TEST(ServerProbeTest, ServerThatNeverAnswers) {
    LoopbackHttpServer server;
    server.setReply("/sidebar", {.kind = Reply::Kind::Hang});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ProbeServer(server.url("/sidebar"), 500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace

}  // namespace ovix
