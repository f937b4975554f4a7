#include "base/Utf8.h"

#include <gtest/gtest.h>

namespace ovix {

namespace {

// Each length of sequence at its bounds, a surrogate pair, and unpaired
// surrogates wherever they can stand.
TEST(Utf8Test, FromUtf16) {
    struct Case {
        std::u16string units;
        std::string utf8;
    };
    const Case cases[] = {
        {u"", ""},
        {u"a\u007F", "a\x7F"},
        {u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
        {u"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
        {u"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {std::u16string{u'a', char16_t(0xD800)}, "a\xEF\xBF\xBD"},
        {std::u16string{char16_t(0xDC00), u'b'},
         "\xEF\xBF\xBD"
         "b"},
        {std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {std::u16string{u'x', char16_t(0), u'y'}, std::string("x\0y", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8FromUtf16(c.units), c.utf8) << c.utf8;
}

}  // namespace

}  // namespace ovix
