// What the desktop's protocols are given: menu labels with their mnemonics,
// notice bodies for servers that read markup, and icon pixels in network
// byte order.

#include <gtest/gtest.h>

#include "compat/desktopbus/DbusMenu.h"
#include "compat/desktopbus/DesktopNotifications.h"
#include "compat/desktopbus/IconImage.h"

namespace {

TEST(DesktopBusTexts, MenuLabelsTurnMnemonicsIntoUnderscoresAndKeepPlainUnderscores) {
    const struct {
        const char* text;
        const char* label;
    } cases[] = {
        {"About...", "About..."}, {"E&xit", "E_xit"},     {"Salt && Pepper", "Salt & Pepper"},
        {"snake_case", "snake__case"}, {"&_x", "___x"}, {"trailing&", "trailing&"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compat::dbusMenuLabel(c.text), c.label) << c.text;
}

TEST(DesktopBusTexts, MarkupBodiesEscapeWhatMarkupWouldRead) {
    EXPECT_EQ(compat::markupEscaped("navigate to http://h/?a=1&b=<2>"), "navigate to http://h/?a=1&amp;b=&lt;2&gt;");
    EXPECT_EQ(compat::markupEscaped("plain \"text\"\n"), "plain \"text\"\n");
}

TEST(DesktopBusTexts, PixmapsAreArgbInNetworkByteOrder) {
    const compat::IconImage image{2, 1, {0x11223344u, 0xFF00A0C0u}};
    EXPECT_EQ(compat::pixmapBytes(image),
              (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0xFF, 0x00, 0xA0, 0xC0}));
}

}  // namespace
