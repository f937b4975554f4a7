#include "launcher/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace ovix {

namespace {

TEST(CommandLine, SwitchesAreExactAndEverythingElseIsAStartUrl) {
    EXPECT_EQ(parseCommandLine("/RegServer").command, LaunchCommand::RegServer);
    EXPECT_EQ(parseCommandLine("/UnregServer").command, LaunchCommand::UnregServer);
    EXPECT_EQ(parseCommandLine("/quit").command, LaunchCommand::Quit);
    EXPECT_EQ(parseCommandLine("").command, LaunchCommand::Start);
    EXPECT_EQ(parseCommandLine("").startUrl, "");
    for (const char* url : {"/REGSERVER", "/quit ", "\"http://localhost:10101/\"", "/Quit"}) {
        const auto line = parseCommandLine(url);
        EXPECT_EQ(line.command, LaunchCommand::Start) << url;
        EXPECT_EQ(line.startUrl, url);
    }
}

TEST(CommandLine, AStartUrlLongerThanTheBufferIsRefused) {
    const std::string longest(kStartUrlCapacity, 'u');
    EXPECT_EQ(parseCommandLine(longest).startUrl, longest);
    EXPECT_EQ(parseCommandLine(longest).refusedBytes, 0u);
    const auto line = parseCommandLine(longest + "v");
    EXPECT_EQ(line.command, LaunchCommand::Start);
    EXPECT_EQ(line.startUrl, "");
    EXPECT_EQ(line.refusedBytes, kStartUrlCapacity + 1);
}

}  // namespace

}  // namespace ovix
