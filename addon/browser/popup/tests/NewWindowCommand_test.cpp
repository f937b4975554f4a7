// The popup command as pages write it, and as they get it wrong.

#include "addon/browser/popup/NewWindowCommand.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using ovix::NewWindowCommand;
using Int = std::numeric_limits<int>;

TEST(NewWindowCommand, ReadsTitleAddressAndSize) {
    const struct {
        const char* url;
        NewWindowCommand command;
    } cases[] = {
        {"morvane:new(Title,/p, 640,480)", {"Title", "/p", 640, 480}},
        // The width starts right after the second comma, blank or not.
        {"morvane:new(Title,/p,640,480)", {"Title", "/p", 640, 480}},
        {"morvane:x?a=1:new(Morvane,http://127.0.0.1:1/x, 300,200)&b", {"Morvane", "http://127.0.0.1:1/x", 300, 200}},
        // Fields as they stand: nothing decoded or trimmed; a comma ends one.
        {"morvane:new( A%2CB ,/p?q=1, 1, 2)", {" A%2CB ", "/p?q=1", 1, 2}},
        {"morvane:new(A,B,/p, 1,2)", {"A", "B", 0, 1}},
        {"morvane:new(,,,)", {"", "", 0, 0}},
        // Numbers as atoi reads them, held to the range of int.
        {"morvane:new(T,/p,\t+12px,-7)", {"T", "/p", 12, -7}},
        {"morvane:new(T,/p, abc,)", {"T", "/p", 0, 0}},
        {"morvane:new(T,/p, 99999999999999999999,-2147483649)", {"T", "/p", Int::max(), Int::min()}},
        {"morvane:new(T,/p,1,2):new(U,/q,3,4)", {"T", "/p", 1, 2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NewWindowCommand::parse(c.url), c.command) << c.url;
}

TEST(NewWindowCommand, ACommandMissingASeparatorIsNone) {
    for (const char* url : {"morvane:close", "morvane:NEW(T,/p,1,2)", "morvane:new(T", "morvane:new(T,/p",
                            "morvane:new(T,/p, 640", "morvane:new(T,/p, 640,480", "morvane:new(T)/p,1,2"}) {
        EXPECT_EQ(NewWindowCommand::parse(url), std::nullopt) << url;
        EXPECT_FALSE(ovix::ParseNewWindowCommand(url)) << url;
    }
}

}  // namespace
