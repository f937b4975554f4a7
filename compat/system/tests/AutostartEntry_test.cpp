#include "compat/system/AutostartEntry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/ScratchFolder.h"

namespace {

TEST(AutostartEntry, ExecLineQuotesAnyPath) {
    ovix::testing::ScratchFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    const auto path = compat::autostartEntryPath("MorvaneLaunch");
    EXPECT_EQ(path, config / "autostart" / "MorvaneLaunch.desktop");

    ASSERT_TRUE(compat::writeAutostartEntry("MorvaneLaunch", "/opt/my apps/Mor\"vane$1%u\\Launch.exe"));
    const auto text = ovix::testing::readFile(path);
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=MorvaneLaunch\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/my apps/Mor\\\\\"vane\\\\$1%%u\\\\\\\\Launch.exe\"\n"), std::string::npos)
        << text;

    EXPECT_FALSE(compat::writeAutostartEntry("MorvaneLaunch", "/opt/new\nline"));
    EXPECT_TRUE(compat::removeAutostartEntry("MorvaneLaunch"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(compat::removeAutostartEntry("MorvaneLaunch"));
}

}  // namespace
