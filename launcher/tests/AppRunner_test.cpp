// What the runner gives the application it starts.

#include "launcher/AppRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using Arguments = std::vector<std::string>;

TEST(AppRunner, TheConfigUrlValueFollowsDashC) {
    ovix::testing::ScratchFolder folder;
    EXPECT_EQ(applicationArguments(folder.path()), Arguments{});
    std::ofstream(folder / "vantile.config") << "configurl=no\nConfigUrl=abc  \nConfigUrl=second\n";
    EXPECT_EQ(applicationArguments(folder.path()), (Arguments{"-c", "abc"}));
    // A value with blanks inside stays one argument.
    std::ofstream(folder / "vantile.config") << "ConfigUrl=http://host/a b\n";
    EXPECT_EQ(applicationArguments(folder.path()), (Arguments{"-c", "http://host/a b"}));
    std::ofstream(folder / "vantile.config") << "ConfigUrl=\n";
    EXPECT_EQ(applicationArguments(folder.path()), Arguments{"-c"});
}

TEST(AppRunner, AConfigUrlAboveTheLimitIsRefusedWholeWithALogLine) {
    ovix::testing::ScratchFolder folder;
    std::filesystem::current_path(folder.path());
    const std::string longest(kConfigUrlCapacity, 'u');
    std::ofstream(folder / "vantile.config") << "ConfigUrl=" << longest << "\n";
    EXPECT_EQ(applicationArguments(folder.path()), (Arguments{"-c", longest}));
    std::ofstream(folder / "vantile.config") << "ConfigUrl=" << longest << "u\n";
    EXPECT_EQ(applicationArguments(folder.path()), Arguments{});
    EXPECT_EQ(ovix::testing::readFile(folder / "MorvaneLaunch.log"),
              "ConfigUrl of 2033 bytes refused: the limit is 2032 bytes\n");
}

TEST(AppRunner, TheEnvironmentNamesThisLauncherOnly) {
    setenv("ParentThreadId", "1", 1);
    setenv("ParentProcessId", "2", 1);
    const auto environment = applicationEnvironment(4321);
    auto named = [&](const std::string& prefix) {
        return std::count_if(environment.begin(), environment.end(),
                             [&](const std::string& entry) { return entry.starts_with(prefix); });
    };
    EXPECT_EQ(named("ParentThreadId="), 1);
    EXPECT_EQ(named("ParentProcessId="), 1);
    EXPECT_EQ(named("ParentThreadId=4321"), 1);
    EXPECT_EQ(named("ParentProcessId=" + std::to_string(getpid())), 1);
    EXPECT_EQ(named("PATH="), 1);
}

}  // namespace

}  // namespace ovix
