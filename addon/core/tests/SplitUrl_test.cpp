#include "addon/core/SplitUrl.h"

#include <gtest/gtest.h>

#include <string>

namespace ovix {

namespace {

struct Parts {
    std::string host;
    int port;
    std::string path;
};

Parts split(const std::string& url) {
    Parts parts{"old", -1, "old"};
    EXPECT_EQ(SplitUrl(url, parts.host, parts.port, parts.path), url);
    return parts;
}

TEST(SplitUrl, HostPortAndPath) {
    auto p = split("http://localhost:10101/list?x=1");
    EXPECT_EQ(p.host, "localhost");
    EXPECT_EQ(p.port, 10101);
    EXPECT_EQ(p.path, "/list?x=1");

    p = split("host:8080/p");
    EXPECT_EQ(p.host, "host");
    EXPECT_EQ(p.port, 8080);
    EXPECT_EQ(p.path, "/p");
}

TEST(SplitUrl, MissingPartsTakeTheirDefaults) {
    auto p = split("http://host");
    EXPECT_EQ(p.host, "host");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.path, "");

    p = split("http://host?a=1");
    EXPECT_EQ(p.host, "host");
    EXPECT_EQ(p.path, "/?a=1");

    p = split("http://host:/x");
    EXPECT_EQ(p.host, "host");
    EXPECT_EQ(p.port, 0);

    p = split("");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.path, "");
}

TEST(SplitUrl, MalformedInputStaysInBounds) {
    // A "?" before the "://" ends no host.
    auto p = split("a?b://c");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.path, "/?b://c");

    p = split("?q://");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.path, "/?q://");

    p = split("http://h:99999999999999999999/");
    EXPECT_EQ(p.host, "h");
    EXPECT_GT(p.port, 0);
}

}  // namespace

}  // namespace ovix
