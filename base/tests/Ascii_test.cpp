#include "base/Ascii.h"

#include <gtest/gtest.h>

namespace {

TEST(Ascii, ContainsNoCase) {
    const struct {
        const char* text;
        const char* part;
        bool contained;
    } cases[] = {
        {"C:\\Program Files\\Launch.exe /x", "program files\\LAUNCH.EXE", true},
        {"abc", "", true},
        {"", "", true},
        {"abc", "ABC", true},
        {"abc", "abcd", false},
        {"ab", "bc", false},
        {"\xC3\x84", "\xC3\xA4", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ovix::asciiContainsNoCase(c.text, c.part), c.contained) << c.text << " / " << c.part;
}

}  // namespace
