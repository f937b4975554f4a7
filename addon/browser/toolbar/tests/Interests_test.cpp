// The interests list: its pieces read as they stand, malformed ones
// included; the GET that fetches it and the answers it takes; interests
// found by their decoded names.

#include "addon/browser/toolbar/Interests.h"

#include <gtest/gtest.h>

#include <climits>

#include "testing/LoopbackHttpServer.h"

namespace ovix {

bool operator==(const InterestEntry& a, const InterestEntry& b) {
    return a.id == b.id && a.name == b.name;
}

void PrintTo(const InterestEntry& entry, std::ostream* out) {
    *out << "{" << entry.id << ", \"" << entry.name << "\"}";
}

namespace {

using Reply = testing::LoopbackHttpServer::Reply;

TEST(InterestsTest, ParseTakesEachPieceAsItStands) {
    struct Case {
        const char* text;
        std::vector<InterestEntry> entries;
    };
    const Case cases[] = {
        {R"({7:"bmFtZQ=="})", {{7, "bmFtZQ=="}}},
        {R"({7:"a",12:"b",-3:"c"})", {{7, "a"}, {12, "b"}, {-3, "c"}}},
        // A piece too short for a name gives an empty one.
        {"{7:}", {{7, ""}}},
        {R"({7:"})", {{7, ""}}},
        {"{:}", {{0, ""}}},
        // The id as atoi reads it, within the range of int.
        {R"({ 8 :"x"})", {{8, "x"}}},
        {R"({x:"y"})", {{0, "y"}}},
        {R"({99999999999:"y"})", {{INT_MAX, "y"}}},
        // Pieces without ":" are skipped; a "," in a name breaks it.
        {R"({a,7:"n",})", {{7, "n"}}},
        {R"({7:"a,b"})", {{7, ""}}},
        // Not a list.
        {R"({7:"x")", {}},
        {R"(7:"x"})", {}},
        {"{}", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Interests::Parse(c.text), c.entries) << c.text;
}

// The list is asked with a plain GET: the agent "Web Service Client", no
// content type; only a 200 gives entries, and a failed fetch drops the old.
TEST(InterestsTest, FetchTakesOnlyAWholeListAnswered200) {
    testing::LoopbackHttpServer server;
    // {7:"bmFtZQ==",8:"eA=="}, each byte percent-encoded.
    const std::string list = "%7B7%3A%22bmFtZQ%3D%3D%22%2C8%3A%22eA%3D%3D%22%7D";
    const std::vector<InterestEntry> entries = {{7, "bmFtZQ=="}, {8, "eA=="}};
    struct Case {
        const char* name;
        Reply reply;
        bool taken;
    };
    const Case cases[] = {
        {"200", {.body = list}, true},
        {"200 chunked", {.body = list, .framing = Reply::Framing::Chunked}, true},
        {"500", {.status = 500, .body = list}, false},
        {"204", {.status = 204}, false},
        {"over 1 MiB", {.body = list + std::string(1 << 20, ' ')}, false},
        {"closed", {.kind = Reply::Kind::Close}, false},
    };
    for (const auto& c : cases) {
        Interests interests;
        server.setReply("/list?user=1", {.body = list});
        interests.Fetch(server.url("/list?user=1"));
        server.setReply("/list?user=1", c.reply);
        interests.Fetch(server.url("/list?user=1"));
        EXPECT_EQ(interests.entries(), c.taken ? entries : std::vector<InterestEntry>{}) << c.name;
    }
    for (const auto& head : server.requests()) {
        EXPECT_EQ(head.rfind("GET /list?user=1 HTTP/1.1\r\n", 0), 0u) << head;
        EXPECT_NE(head.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos);
        EXPECT_NE(head.find("\r\nUser-Agent: Web Service Client\r\n"), std::string::npos) << head;
        EXPECT_EQ(head.find("Content-Type"), std::string::npos) << head;
    }

    // Without a path the root is asked; a list nowhere gives nothing.
    server.setReply("/", {.body = list});
    Interests interests;
    interests.Fetch("127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(interests.entries(), entries);
    interests.Fetch("");
    EXPECT_TRUE(interests.entries().empty());
}

// Names are compared decoded, so a Base64 text without line breaks, or with
// them elsewhere, finds its interest; the first of two alike wins.
TEST(InterestsTest, IdOfFindsTheFirstEntryOfADecodedName) {
    const std::string longName(60, 'n');  // its Base64 is longer than 76 characters
    std::string bare;
    for (int i = 0; i < 20; ++i)
        bare += "bm5u";  // "nnn", without the line break after 76 characters
    Interests interests;
    testing::LoopbackHttpServer server;
    server.setReply("/", {.body = "{4:\"YQ==\",5:\"" + bare + "\",6:\"Y\r\nQ==\"}"});
    interests.Fetch(server.url());
    ASSERT_EQ(interests.entries().size(), 3u);
    EXPECT_EQ(interests.IdOf("a"), 4);
    EXPECT_EQ(interests.IdOf(longName), 5);
    EXPECT_EQ(interests.IdOf("b"), 0);
    EXPECT_EQ(interests.IdOf(""), 0);
}

}  // namespace

}  // namespace ovix
