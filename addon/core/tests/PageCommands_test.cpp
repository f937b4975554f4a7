#include "addon/core/PageCommands.h"

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

// Arguments as they stand, each ended by its separator, from the first
// opening on.
TEST(PageCommandsTest, CommandArguments) {
    using Arguments = std::optional<std::vector<std::string_view>>;
    struct Case {
        const char* url;
        const char* opening;
        std::size_t count;
        Arguments arguments;
    };
    const Case cases[] = {
        {"morvane:new(T,/p, 640,480)", ":new(", 4, Arguments({"T", "/p", " 640", "480"})},
        {"morvane:x:resize(1,2)&y:resize(3,4)", ":resize(", 2, Arguments({"1", "2"})},
        {"morvane:resize(,)", ":resize(", 2, Arguments({"", ""})},
        {"morvane:resize(1,2,3)", ":resize(", 2, Arguments({"1", "2,3"})},
        {"morvane:resize(1)", ":resize(", 2, std::nullopt},
        {"morvane:resize(1,2", ":resize(", 2, std::nullopt},
        {"morvane:RESIZE(1,2)", ":resize(", 2, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandArguments(c.url, c.opening, c.count), c.arguments) << c.url;
}

}  // namespace

}  // namespace ovix
