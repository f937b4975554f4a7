#include "addon/PageCommands.h"

#include <gtest/gtest.h>

namespace ovix {

namespace {

// "=1" is looked for first, anywhere; the key is matched as a plain
// substring, in its case only.
TEST(PageCommandsTest, ParseFlagParam) {
    struct Case {
        const char* url;
        int flag;
    };
    const Case cases[] = {
        {"morvane:sidebar=1", 1},
        {"morvane:sidebar=0", -1},
        {"morvane:x?sidebar=1&sidebar=0", 1},
        {"morvane:x?sidebar=0&sidebar=1", 1},
        {"morvane:xsidebar=1", 1},
        {"morvane:sidebar=2", 0},
        {"morvane:sidebar", 0},
        {"morvane:SIDEBAR=1", 0},
        {"morvane:sidebar =1", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseFlagParam(c.url, kSidebarFlag), c.flag) << c.url;
    EXPECT_EQ(ParseFlagParam("morvane:close&toolbar=0&sidebar=1", kToolbarFlag), -1);
}

TEST(PageCommandsTest, ACommandBeginsWithTheScheme) {
    EXPECT_TRUE(IsPageCommand("morvane:close"));
    EXPECT_TRUE(IsPageCommand("morvane:"));
    EXPECT_FALSE(IsPageCommand("MORVANE:close"));
    EXPECT_FALSE(IsPageCommand("http://x.example/?morvane:close"));
    EXPECT_FALSE(IsPageCommand(" morvane:close"));
    EXPECT_FALSE(IsPageCommand("morvane"));
}

}  // namespace

}  // namespace ovix
