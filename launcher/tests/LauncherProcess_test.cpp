// The launcher program against itself: first and second instances as real
// processes, in a private runtime folder, configuration folder and program
// folder, with a stand-in for the desktop's URL opener.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "compat/AutostartEntry.h"
#include "compat/NamedMutex.h"
#include "compat/Process.h"
#include "compat/tests/ScratchFolder.h"
#include "launcher/Autostart.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/MorvaneLaunch.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using compat::RegistryHive;
using compat::RegistryKey;
using ovix::testing::eventually;
using ovix::testing::readFile;

class LauncherProcess : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"run", "config", "app", "bin"})
            fs::create_directories(m_scratch / folder);
        chmod((m_scratch / "run").c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        setenv("PATH", ((m_scratch / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
        // The launcher works in its own folder: a private copy keeps its log apart.
        fs::copy_file(OVIX_LAUNCHER_EXE, m_launcher);
        const auto opener = m_scratch / "bin" / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nls -l /proc/self/fd > '" << (m_scratch / "opener.fds").string()
                              << "'\necho \"$1\" >> '" << (m_scratch / "opened").string() << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
    }

    compat::Process start(const std::string& argument = "") {
        std::vector<std::string> arguments;
        if (!argument.empty())
            arguments.push_back(argument);
        auto process = compat::Process::start(compat::ProcessStart{
            .program = m_launcher.string(), .arguments = arguments, .environment = compat::currentEnvironment()});
        EXPECT_TRUE(process);
        return std::move(*process);
    }

    int run(const std::string& argument, std::chrono::seconds limit = 20s) {
        auto process = start(argument);
        if (!process.wait(limit)) {
            process.terminate();
            return -1;
        }
        return *process.exitCode();
    }

    std::optional<std::uint32_t> value(const char* name) {
        auto key = openLauncherKey();
        return key ? key->queryDword(name) : std::nullopt;
    }

    // The first instance is up once it has published its main thread.
    bool publishes(const compat::Process& first) {
        return eventually([&] { return value(kThreadIdValue) == static_cast<std::uint32_t>(first.pid()); });
    }

    ovix::testing::ScratchFolder m_scratch;
    fs::path m_launcher = m_scratch / "app" / "MorvaneLaunch.exe";
};

TEST_F(LauncherProcess, ASecondLauncherFindsTheFirstOpensItsUrlOnceReadyAndQuitsIt) {
    // Left by a launcher that crashed.
    ASSERT_TRUE(RegistryKey::create(RegistryHive::CurrentUser, kLauncherKeyPath)->setDword(kReadyValue, 1));
    const auto inheritedByAll = ovix::testing::inheritableDescriptors();
    auto first = start();
    ASSERT_TRUE(publishes(first));
    EXPECT_FALSE(value(kReadyValue));
    EXPECT_TRUE(compat::NamedMutex::isHeld(kSingleInstanceMutex));

    EXPECT_EQ(run("http://localhost:10101/sites"), 0);
    EXPECT_FALSE(fs::exists(m_scratch / "opened"));

    // What the first instance writes at a status report.
    ASSERT_TRUE(openLauncherKey()->setDword(kReadyValue, 1));
    EXPECT_EQ(run("http://localhost:10101/sites"), 0);
    EXPECT_EQ(readFile(m_scratch / "opened"), "http://localhost:10101/sites\n");

    // The opener got no descriptor of the launcher (queue, lock, log).
    std::istringstream listing(readFile(m_scratch / "opener.fds"));
    int seen = 0;
    for (std::string line; std::getline(listing, line);) {
        const auto arrow = line.find(" -> ");
        if (arrow == std::string::npos)
            continue;
        const auto space = line.rfind(' ', arrow - 1);
        const int fd = std::stoi(line.substr(space + 1, arrow - space - 1));
        const std::string target = line.substr(arrow + 4);
        ++seen;
        if (fd > 2 && !inheritedByAll.count(fd) && !(target.rfind("/proc/", 0) == 0 && target.ends_with("/fd")))
            ADD_FAILURE() << "descriptor " << fd << " -> " << target << " leaked into the opener";
    }
    EXPECT_GE(seen, 4);

    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(first.wait(5s));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(value(kThreadIdValue));
    EXPECT_FALSE(value(kReadyValue));
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
}

TEST_F(LauncherProcess, QuitGivesUpOnAFirstInstanceThatDoesNotAnswer) {
    auto first = start();
    ASSERT_TRUE(publishes(first));
    ASSERT_EQ(kill(first.pid(), SIGSTOP), 0);
    const auto began = std::chrono::steady_clock::now();
    const int code = run("/quit");
    const auto took = std::chrono::steady_clock::now() - began;
    kill(first.pid(), SIGCONT);
    EXPECT_EQ(code, 1);
    EXPECT_GE(took, 4500ms);
    EXPECT_LE(took, 15s);
    // Once it runs again it takes the Exit commands that waited for it.
    ASSERT_TRUE(first.wait(10s));
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(LauncherProcess, TheMutexIsFreeAgainAfterTheHolderIsKilled) {
    auto first = start();
    ASSERT_TRUE(publishes(first));
    ASSERT_TRUE(first.terminate());
    ASSERT_TRUE(first.wait(10s));
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
    // Its stale "ThreadId" does not pass for a running instance.
    EXPECT_EQ(value(kThreadIdValue), static_cast<std::uint32_t>(first.pid()));
    EXPECT_EQ(run("/quit"), 0);

    auto next = start();
    ASSERT_TRUE(publishes(next));
    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(next.wait(5s));
}

TEST_F(LauncherProcess, QuitWithNoInstanceLeavesNoValue) {
    EXPECT_EQ(run("/quit"), 0);
    EXPECT_FALSE(openLauncherKey());
}

TEST_F(LauncherProcess, AnOverlongStartUrlIsLoggedAndDropped) {
    auto first = start("http://localhost:10101/" + std::string(3000, 'x'));
    ASSERT_TRUE(publishes(first));
    EXPECT_EQ(readFile(m_scratch / "app" / "MorvaneLaunch.log"),
              "start URL of 3023 bytes refused: the limit is 2047 bytes\n");
    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(first.wait(5s));
}

TEST_F(LauncherProcess, RegistrationSwitchesWriteTheRunValueAndTheAutostartEntry) {
    EXPECT_EQ(run("/RegServer"), 1);
    auto machine = RegistryKey::open(RegistryHive::LocalMachine, kRunKeyPath);
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->query(kAutostartValue)->data, m_launcher.string() + '\0');
    EXPECT_EQ(readFile(compat::autostartEntryPath(kAutostartEntry)),
              compat::autostartEntryText(kAutostartEntry, m_launcher));
    EXPECT_EQ(run("/UnregServer"), 1);
    EXPECT_FALSE(machine->query(kAutostartValue));
    EXPECT_FALSE(fs::exists(compat::autostartEntryPath(kAutostartEntry)));
}

}  // namespace
