#include "addon/core/CVantileApp.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovix {

namespace {

TEST(CVantileAppTest, RefusesExplorerInAnyCase) {
    struct Case {
        const char* program;
        bool accepted;
    };
    const Case cases[] = {
        {"/usr/lib/explorer.exe", false},  {"/opt/Windows/Explorer.EXE", false}, {"/x/EXPLORER.exe.d/host", false},
        {"/usr/lib/iexplore.exe", true},   {"/usr/bin/firefox", true},           {"/x/explorer.ex", true},
        {"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CVantileApp::AcceptsHost(c.program), c.accepted) << c.program;
}

class RecordingBand : public ToolbarBand {
public:
    void SetSidebarBrowser(compat::ComUnknown* browser) override { browsers.push_back(browser); }
    std::vector<compat::ComUnknown*> browsers;
};

// Only the recorded band gets the sidebar's browser, and only the band that
// is recorded can clear the record.
TEST(CVantileAppTest, SidebarBrowserGoesToTheRecordedBand) {
    CVantileApp app;
    RecordingBand first, second;
    auto* const browser = reinterpret_cast<compat::ComUnknown*>(&app);
    app.SetSidebarBrowser(browser);
    app.SetToolbarBand(&first);
    app.SetSidebarBrowser(browser);
    app.SetToolbarBand(&second);
    app.ClearToolbarBand(&first);
    app.SetSidebarBrowser(nullptr);
    app.ClearToolbarBand(&second);
    app.SetSidebarBrowser(browser);
    EXPECT_EQ(first.browsers, std::vector<compat::ComUnknown*>{browser});
    EXPECT_EQ(second.browsers, std::vector<compat::ComUnknown*>{nullptr});
}

}  // namespace

}  // namespace ovix
