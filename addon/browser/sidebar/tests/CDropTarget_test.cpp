// Text dropped on the sidebar's page reaches its DropIt, coded in Base64 as
// Python's base64 module reads it.

#include <gtest/gtest.h>

#include "addon/browser/AddonClassIds.h"
#include "addon/tests/AddonBrowserTest.h"
#include "compat/browser/DraggedData.h"
#include "compat/browser/LoadedPage.h"
#include "compat/browser/Window.h"

namespace ovix {

namespace {

using compat::DraggedData;
using compat::NativeInt;

using DropTest = ovix::testing::AddonBrowserTest<>;

// Each text decoded by Python's base64 module, as UTF-8.
std::vector<std::string> pythonDecoded(const std::vector<std::string>& texts, const std::filesystem::path& scratch) {
    std::string input;
    for (const auto& text : texts)
        input += text + '\0';
    ovix::testing::writeFile(scratch, input);
    const std::string command =
        "/usr/bin/python3 -c 'import base64, sys; sys.stdout.buffer.write(b\"\".join("
        "base64.b64decode(t) + b\"\\0\" for t in sys.stdin.buffer.read().split(b\"\\0\")[:-1]))' < " +
        scratch.string();
    const std::string output = ovix::testing::commandOutput(command);
    std::vector<std::string> decoded;
    for (std::size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos; start = end + 1)
        decoded.push_back(output.substr(start, end - start));
    return decoded;
}

TEST_F(DropTest, DroppedTextReachesDropItWithTheFramesTitleForItsAddress) {
    install(configText({{"HomepageUrl", server.url("/")}, {"SidebarUrl", server.url("/sidebar")}}));
    compat::declarePage(server.url("/sidebar"), "Sidebar", {"DropIt"});
    compat::declarePage(server.url("/plain"), "Plain");
    // An address long enough for line breaks in its Base64, and a title
    // beyond ASCII.
    const std::string address = "http://frame.example/a/rather/long/path/to/a/page?with=a&query=string&and=more";
    const std::string title = "Fr\u00E4me \u2014 \U0001F600 title";
    compat::declarePage(address, title);
    ASSERT_TRUE(retirePoller());
    auto& window = openWindow();
    ASSERT_TRUE(window.navigate(address) && window.settle());
    ASSERT_EQ(showBar(window, kBarBandClassId, true), compat::S_OK);
    const auto sidebar = bandBrowser(window, kBarBandClassId);
    ASSERT_TRUE(sidebar && sidebar->settle());

    const compat::Point at{60, 150};
    compat::Point client = at;
    compat::ScreenToClient(compat::GetParent(sidebar->window()), client);
    ASSERT_NE(client.y, at.y);
    const std::u16string longAddress(address.begin(), address.end());
    const struct {
        compat::ComPtr<DraggedData> data;
        std::vector<std::string> dropIt;  // text and title, decoded; empty: no call
    } cases[] = {
        {DraggedData::text(longAddress), {address, title}},
        {DraggedData::text(longAddress, false), {address, title}},
        {DraggedData::text(u"other text \u00E9"), {"other text \u00E9", ""}},
        // Read to the first zero unit, or to the block's end.
        {DraggedData::text(longAddress + u'\0' + u"tail"), {address, title}},
        {DraggedData::text(u"x\U0001F600", false), {"x\U0001F600", ""}},
        {DraggedData::text(std::u16string{u'a', char16_t(0xD800)}), {"a\uFFFD", ""}},
        {DraggedData::file("/tmp/dropped.txt"), {}},
    };
    for (const auto& c : cases) {
        const std::size_t before = sidebar->scriptCalls().size();
        const auto outcome = sidebar->drop(c.data.get(), at);
        EXPECT_TRUE(outcome.reachedTarget);
        EXPECT_EQ(outcome.result, compat::S_OK);
        EXPECT_EQ(c.data->mediaReleased(), c.data->mediaGiven());
        const auto calls = sidebar->scriptCalls();
        std::vector<compat::ScriptCall> dropIts;
        for (auto call = calls.begin() + static_cast<std::ptrdiff_t>(before); call != calls.end(); ++call) {
            if (call->name == "DropIt")
                dropIts.push_back(*call);
        }
        if (c.dropIt.empty()) {
            EXPECT_TRUE(dropIts.empty());
            EXPECT_EQ(c.data->mediaGiven(), 0u);
            continue;
        }
        EXPECT_EQ(c.data->mediaGiven(), 1u);
        ASSERT_EQ(dropIts.size(), 1u);
        const auto& arguments = dropIts[0].arguments;
        ASSERT_EQ(arguments.size(), 4u);
        EXPECT_EQ(std::get<NativeInt>(arguments[1]), NativeInt{client.x});
        EXPECT_EQ(std::get<NativeInt>(arguments[2]), NativeInt{client.y});
        const std::vector<std::string> coded = {std::get<std::string>(arguments[0]),
                                                std::get<std::string>(arguments[3])};
        EXPECT_EQ(pythonDecoded(coded, addonFolder() / "base64"), c.dropIt);
    }

    // A page without DropIt: nothing is called, the medium still released.
    ASSERT_TRUE(sidebar->pageNavigates(server.url("/plain")) && sidebar->settle());
    const auto text = DraggedData::text(u"dropped");
    const std::size_t before = sidebar->scriptCalls().size();
    EXPECT_EQ(sidebar->drop(text.get(), at).result, compat::S_OK);
    EXPECT_EQ(text->mediaReleased(), 1u);
    const auto calls = sidebar->scriptCalls();
    EXPECT_TRUE(std::none_of(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end(),
                             [](const compat::ScriptCall& call) { return call.name == "DropIt"; }));
}

}  // namespace

}  // namespace ovix
