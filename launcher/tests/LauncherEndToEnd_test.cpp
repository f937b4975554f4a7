// The launcher and the stand-in main application as separate processes: the
// whole road from start to Exit, the restart rules, the watchdog, shutdown by
// signal or by closing the window, and messages that only the application may
// send.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "compat/ipc/MessageQueue.h"
#include "compat/ipc/NamedMutex.h"
#include "compat/system/Process.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/MorvaneLaunch.h"
#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/launcher/LauncherSandbox.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ovix::testing::eventually;
using ovix::testing::readFile;
using ovix::testing::writeFile;

// The quit grace of the launchers that tests of Exit run: a real wait, kept
// short.
constexpr auto kQuitGrace = 500ms;

constexpr const char* kStartingIcon =
    "notify-icon add id=121 icon=121 tip=\"Morvane is starting\" balloon-title=\"Morvane is starting\" "
    "balloon=\"Please wait...\"";
constexpr const char* kOnlineWithBalloon =
    "notify-icon modify id=121 icon=120 tip=\"Morvane is online\" balloon-title=\"Morvane is up\" "
    "balloon=\"Morvane is opening in your default browser.  Right-click the icon below at any time to control "
    "Morvane.\\n\\nPlease report problems and send us your feedback at support@dastel.example.\"";

class EndToEnd : public ovix::testing::LauncherSandbox {
protected:
    // Posts a thread message to the launcher's main thread, as another
    // process of the user would.
    static void post(const compat::Process& launcher, std::uintptr_t code, std::uint32_t message = compat::WM_USER,
                     std::intptr_t argument = 0) {
        ASSERT_TRUE(compat::PostThreadMessage(static_cast<compat::ThreadId>(launcher.pid()), message, code, argument));
    }

    bool recorded(const std::string& line, std::size_t times = 1, std::chrono::milliseconds limit = 10s) {
        return eventually([&] { return count(lines(record()), line) >= times; }, limit);
    }

    bool journaled(const std::string& line) {
        return eventually([&] { return count(lines(journal()), line) > 0; });
    }

    // Process ids from the record's lines of that form, in order: the
    // stand-ins ("started") or their workers ("worker").
    std::vector<pid_t> recordedPids(const char* form = "started pid=%d") {
        std::vector<pid_t> pids;
        for (const auto& line : lines(record())) {
            int pid;
            if (std::sscanf(line.c_str(), form, &pid) == 1)
                pids.push_back(pid);
        }
        return pids;
    }
    std::vector<pid_t> standInPids() { return recordedPids(); }
    std::vector<pid_t> workerPids() { return recordedPids("worker pid=%d"); }

    static bool running(pid_t pid) {
        auto process = compat::Process::open(pid);
        return process && !compat::waitForAny({&*process}, 0ms);
    }

    // What a launcher must not leave behind once it has ended.
    void expectNothingLeft() {
        EXPECT_FALSE(value(kThreadIdValue));
        EXPECT_FALSE(value(kReadyValue));
        EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
        for (const auto& entry : fs::directory_iterator(runtimeFolder()))
            EXPECT_FALSE(fs::is_socket(fs::symlink_status(entry.path()))) << entry.path() << " left behind";
        for (pid_t pid : standInPids())
            EXPECT_FALSE(running(pid)) << "application " << pid << " still runs";
        // Sent SIGKILL with their group, they may take a moment to go.
        for (pid_t pid : workerPids())
            EXPECT_TRUE(eventually([&] { return !running(pid); })) << "worker " << pid << " still runs";
    }

    fs::path launcherValues() const {
        return m_scratch / "config" / "ovix" / "registry" / "HKEY_CURRENT_USER" / "software" / "dastel" /
               "morvanelaunch" / "%values";
    }
};

TEST_F(EndToEnd, RunsTheApplicationShowsItsReportsRelaysCommandsAndExitsClean) {
    std::ofstream(m_scratch / "app" / "vantile.config") << "HomepageUrl=http://localhost:10101/\n"
                                                        << "ConfigUrl=http://localhost:10101/config  \n"
                                                        << "ConfigUrl=http://elsewhere/\n";
    // Temporary entries of the user, one a link that leads out of the folder.
    const auto temporary = m_scratch / "tmp";
    fs::create_directories(temporary / "winyFolder" / "inner");
    std::ofstream(temporary / "winyFolder" / "inner" / "file") << "x";
    std::ofstream(temporary / "WINY.tmp") << "x";
    std::ofstream(temporary / "keep.tmp") << "x";
    fs::create_directories(m_scratch / "outside");
    std::ofstream(m_scratch / "outside" / "precious") << "x";
    fs::create_directory_symlink(m_scratch / "outside", temporary / "winyLink");

    standIn("status=0");
    auto launcher = start("http://localhost:10101/sites");
    ASSERT_TRUE(recorded("reported"));
    const auto started = lines(record());
    ASSERT_GE(started.size(), 2u);
    EXPECT_EQ(started[0], "args -c http://localhost:10101/config");
    EXPECT_EQ(started[1], "started pid=" + std::to_string(standInPids().at(0)) +
                              " parent=" + std::to_string(launcher.pid()) +
                              " thread=" + std::to_string(launcher.pid()) + " folder=" + (m_scratch / "app").string());

    // The first report: online, the balloon, "Ready", and the start URL once.
    ASSERT_TRUE(journaled(kOnlineWithBalloon));
    EXPECT_EQ(lines(journal()).at(0), kStartingIcon);
    EXPECT_TRUE(eventually([&] { return readFile(opened()) == "http://localhost:10101/sites\n"; }));
    EXPECT_EQ(value(kReadyValue), 1u);

    // Later reports: no balloon, no second opening; an unknown status keeps
    // the icon and its tip.
    post(launcher, PLATFORM_STATUS_BASE + 2);
    post(launcher, PLATFORM_STATUS_BASE + 5);
    ASSERT_TRUE(
        journaled("notify-icon modify id=121 icon=122 tip=\"You have new messages\" balloon-title=\"\" "
                  "balloon=\"\""));
    ASSERT_TRUE(journaled("notify-icon modify id=121 balloon-title=\"\" balloon=\"\""));

    // Pause and Resume, as the application or another program posts them.
    post(launcher, IDM_PAUSE, compat::WM_COMMAND);
    post(launcher, IDM_RESUME, compat::WM_COMMAND);
    ASSERT_TRUE(recorded("pause"));
    ASSERT_TRUE(recorded("resume", 2));
    EXPECT_EQ(readFile(opened()), "http://localhost:10101/sites\n");

    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 10s), 0);
    const auto ended = lines(record());
    ASSERT_GE(ended.size(), 2u);
    EXPECT_EQ(ended[ended.size() - 2], "quit");
    EXPECT_EQ(ended.back(), "exit 0");
    EXPECT_EQ(count(ended, std::string("args -c http://localhost:10101/config")), 1u);
    EXPECT_EQ(lines(journal()).back(), "notify-icon delete id=121");
    EXPECT_EQ(readFile(log()), kNoBusLine);
    expectNothingLeft();

    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary / "winyFolder")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary / "WINY.tmp")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary / "winyLink")));
    EXPECT_TRUE(fs::exists(temporary / "keep.tmp"));
    EXPECT_TRUE(fs::exists(m_scratch / "outside" / "precious"));
}

TEST_F(EndToEnd, AnApplicationThatEndsWithoutReportingIsStartedFourTimesInARow) {
    // Each run leaves a worker behind, which ends with it.
    standIn("never-report,exit-after=0,worker");
    auto launcher = start();
    EXPECT_EQ(finish(launcher, 20s), 0);
    EXPECT_EQ(standInPids().size(), 4u);
    EXPECT_EQ(workerPids().size(), 4u);
    EXPECT_EQ(count(lines(record()), "exit 3"), 4u);
    EXPECT_EQ(readFile(log()), kNoBusLine);
    expectNothingLeft();
}

TEST_F(EndToEnd, AnApplicationThatReportsIsStartedAgainWithoutLimit) {
    standIn("exit-after=150");
    auto launcher = start();
    EXPECT_TRUE(recorded("exit 3", 6, 20s));
    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 15s), 0);
    expectNothingLeft();
}

TEST_F(EndToEnd, AnApplicationAboveTheMemoryLimitIsEndedAndStartedAgain) {
    // About 120 MB after 2 seconds; the watchdog looks every tenth of a second.
    periods("watchdog=100");
    standIn("grow=60000000");
    auto launcher = start();
    ASSERT_TRUE(recorded("reported"));
    const pid_t first = standInPids().at(0);
    ASSERT_TRUE(eventually([&] { return standInPids().size() >= 2; }, 25s));
    unsigned long long usage = 0;
    int killed = 0;
    const auto logged = lines(log());
    ASSERT_EQ(logged.size(), 2u) << readFile(log());
    EXPECT_EQ(logged[0] + '\n', kNoBusLine);
    ASSERT_EQ(std::sscanf(logged[1].c_str(), "killed proc %d handle %*p memory usage %llu", &killed, &usage), 2)
        << readFile(log());
    EXPECT_EQ(killed, first);
    EXPECT_GT(usage, 104857600u);
    EXPECT_FALSE(running(first));

    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 15s), 0);
    expectNothingLeft();
}

TEST_F(EndToEnd, ExitEndsAnApplicationThatIgnoresQuitAfterItsGrace) {
    periods("quit-grace=" + std::to_string(kQuitGrace.count()));
    standIn("ignore-quit");
    auto launcher = start();
    ASSERT_TRUE(eventually([&] { return value(kReadyValue).has_value(); }));
    const auto began = Clock::now();
    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 15s), 0);
    const auto took = Clock::now() - began;
    EXPECT_GE(took, kQuitGrace);
    EXPECT_LE(took, kQuitGrace + 4s);
    EXPECT_TRUE(recorded("quit", 1, 0ms));
    EXPECT_EQ(count(lines(record()), "exit 0"), 0u);
    EXPECT_EQ(readFile(log()), kNoBusLine);
    expectNothingLeft();
}

TEST_F(EndToEnd, ExitEndsAnApplicationThatNeverReportedAndIgnoresQuit) {
    periods("quit-grace=" + std::to_string(kQuitGrace.count()));
    standIn("never-report,ignore-quit");
    auto launcher = start();
    ASSERT_TRUE(eventually([&] { return !standInPids().empty(); }));
    const auto began = Clock::now();
    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 15s), 0);
    EXPECT_GE(Clock::now() - began, kQuitGrace);
    EXPECT_EQ(readFile(log()), std::string(kNoBusLine) + "no process to kill\n");
    expectNothingLeft();
}

TEST_F(EndToEnd, AForgedIdMessageFromAnotherProcessEndsNothing) {
    // Another program of the user with a queue, and one without.
    const auto heard = m_scratch / "listener.out";
    auto listener = compat::Process::start(compat::ProcessStart{
        .program = "/bin/sh",
        .arguments = {"-c", "exec " + std::string(THREADMSG_TOOL) + " listen --seconds 60 > " + heard.string()},
        .environment = compat::currentEnvironment()});
    ASSERT_TRUE(listener);
    std::uint32_t listenerThread = 0;
    ASSERT_TRUE(eventually([&] { return std::sscanf(readFile(heard).c_str(), "listening %u", &listenerThread) == 1; }));
    auto bystander =
        compat::Process::start(compat::ProcessStart{.program = "/bin/sleep", .arguments = {"60"}, .environment = {}});
    ASSERT_TRUE(bystander);

    standIn("status=0");
    auto launcher = start();
    ASSERT_TRUE(eventually([&] { return value(kReadyValue).has_value(); }));
    // This test is not the launcher's child: its halves name the listener's
    // thread and the bystander's process.
    const auto victim = static_cast<std::uint32_t>(bystander->pid());
    post(launcher, PLATFORM_TMSG_TID_LO, compat::WM_USER, listenerThread & 0xFFFF);
    post(launcher, PLATFORM_TMSG_TID_HI, compat::WM_USER, listenerThread >> 16);
    post(launcher, PLATFORM_TMSG_PID_LO, compat::WM_USER, victim & 0xFFFF);
    post(launcher, PLATFORM_TMSG_PID_HI, compat::WM_USER, victim >> 16);

    const auto began = Clock::now();
    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 15s), 0);
    // The application itself was told to quit, and quit at once.
    EXPECT_LT(Clock::now() - began, 4s);
    EXPECT_EQ(lines(record()).back(), "exit 0");
    EXPECT_TRUE(running(bystander->pid()));
    EXPECT_EQ(lines(heard).size(), 1u) << readFile(heard);
    EXPECT_EQ(readFile(log()), kNoBusLine);
    for (auto* process : {&*bystander, &*listener}) {
        process->terminate();
        process->wait();
    }
    compat::removeQueueOfDeadThread(listenerThread);
    expectNothingLeft();
}

TEST_F(EndToEnd, TerminationSignalRunsExit) {
    standIn("status=0,worker");
    auto launcher = start();
    ASSERT_TRUE(eventually([&] { return value(kReadyValue).has_value(); }));
    ASSERT_EQ(kill(launcher.pid(), SIGTERM), 0);
    EXPECT_EQ(finish(launcher, 10s), 0);
    EXPECT_EQ(lines(record()).back(), "exit 0");
    EXPECT_EQ(lines(journal()).back(), "notify-icon delete id=121");
    expectNothingLeft();
}

TEST_F(EndToEnd, ClosingTheMainWindowStopsTheMonitorAndTheApplication) {
    standIn("status=0");
    auto launcher = start();
    ASSERT_TRUE(eventually([&] { return value(kReadyValue).has_value(); }));
    post(launcher, IDM_CLASS_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 10s), 0);
    EXPECT_EQ(lines(record()).back(), "exit 0");
    expectNothingLeft();
}

TEST_F(EndToEnd, TheApplicationEndsWithAKilledLauncherAndTheNextLauncherEndsWhatItLeft) {
    standIn("status=0,worker");
    auto killed = start();
    // Told to start once the runner has noted its group.
    ASSERT_TRUE(recorded("resume"));
    ASSERT_TRUE(killed.terminate());
    ASSERT_TRUE(killed.wait(10s));
    // The kernel ends the application, but not the worker it started.
    EXPECT_TRUE(eventually([&] { return !running(standInPids().at(0)); }));
    ASSERT_EQ(workerPids().size(), 1u);
    // The dead leave their queue names, which no queue holds any more.
    for (const auto& entry : fs::directory_iterator(runtimeFolder()))
        if (fs::is_socket(fs::symlink_status(entry.path())))
            fs::remove(entry.path());

    auto next = start();
    ASSERT_TRUE(recorded("reported", 2));
    EXPECT_TRUE(eventually([&] { return !running(workerPids().at(0)); }));
    // Each launcher says that there is no bus once it shows its icon.
    EXPECT_EQ(readFile(log()), std::string(kNoBusLine) +
                                   "ended 1 processes that an earlier launcher's application left running\n" +
                                   kNoBusLine);
    EXPECT_EQ(run("/quit"), 0);
    EXPECT_EQ(finish(next, 10s), 0);
    EXPECT_EQ(standInPids().size(), 2u);
    expectNothingLeft();
}

TEST_F(EndToEnd, AnUnreadableRegistryStoreIsMovedAsideAndFailedWritesAreLogged) {
    const auto values = launcherValues();
    fs::create_directories(values.parent_path());
    const std::string cut = "4 8 4\nThreadId";
    writeFile(values, cut);
    standIn("status=0");
    auto launcher = start();
    ASSERT_TRUE(publishes(launcher));
    ASSERT_TRUE(eventually([&] { return value(kReadyValue).has_value(); }));
    const auto aside = values.string() + ".unreadable-1";
    EXPECT_EQ(readFile(aside), cut);
    EXPECT_EQ(readFile(log()), "registry values " + values.string() + " could not be read: moved aside to " + aside +
                                   " and started afresh\n" + kNoBusLine);
    EXPECT_EQ(run("/quit"), 0);
    EXPECT_EQ(finish(launcher, 10s), 0);
    expectNothingLeft();

    // A file where the key's folder belongs: neither value can be written,
    // the launcher says so and runs on.
    fs::remove_all(values.parent_path());
    writeFile(values.parent_path(), "in the way");
    fs::remove(log());
    auto blocked = start();
    ASSERT_TRUE(recorded("reported", 2));
    ASSERT_TRUE(eventually([&] { return lines(log()).size() >= 3; }));
    const auto logged = lines(log());
    EXPECT_EQ(logged[0] + '\n', kNoBusLine);
    EXPECT_TRUE(logged[1].starts_with("failed to write registry value ThreadId: ")) << logged[1];
    EXPECT_TRUE(logged[2].starts_with("failed to write registry value Ready: ")) << logged[2];
    ASSERT_EQ(kill(blocked.pid(), SIGTERM), 0);
    EXPECT_EQ(finish(blocked, 10s), 0);
    expectNothingLeft();
}

TEST_F(EndToEnd, ALauncherThatCannotStartSaysWhyAndFails) {
    const auto program = m_scratch / "app" / "Morvane.exe";
    const struct {
        const char* what;
        std::function<bool()> arrange;  // false: cannot be arranged here
        std::string logged;
    } cases[] = {
        {"runtime folder a link",
         [&] {
             fs::create_directories(m_scratch / "elsewhere");
             fs::create_directory_symlink(m_scratch / "elsewhere", runtimeFolder());
             return true;
         },
         "cannot start: runtime folder \"" + runtimeFolder().string() + "\" refused: Not a directory\n"},
        {"runtime folder another user's",
         [&] { return fs::create_directory(runtimeFolder()) && chown(runtimeFolder().c_str(), 4242, 4242) == 0; },
         "cannot start: runtime folder \"" + runtimeFolder().string() + "\" refused: Operation not permitted\n"},
        {"lock unavailable", [&] { return fs::create_directories(runtimeFolder() / "mutex-DastelIconSI"); },
         "cannot start: single-instance lock \"DastelIconSI\" unavailable: Is a directory\n"},
        {"application missing", [&] { return fs::remove(program); },
         kNoBusLine + ("cannot start: " + program.string() + ": No such file or directory\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(runtimeFolder());
        fs::remove(log());
        if (!c.arrange())
            continue;
        EXPECT_EQ(run(""), kCannotStartExitCode);
        EXPECT_EQ(readFile(log()), c.logged);
    }
    EXPECT_TRUE(standInPids().empty());
    expectNothingLeft();
}

TEST_F(EndToEnd, AnOverlongConfigUrlIsLoggedAndTheApplicationStartsWithoutIt) {
    // Far above what one argument may hold.
    std::ofstream(m_scratch / "app" / "vantile.config")
        << "ConfigUrl=http://localhost:10101/" << std::string(200'000, 'x') << "\n";
    standIn("status=0");
    auto launcher = start();
    ASSERT_TRUE(recorded("reported"));
    EXPECT_EQ(lines(record()).at(0), "args");
    EXPECT_EQ(readFile(log()), std::string(kNoBusLine) + "ConfigUrl of 200023 bytes refused: the limit is 2032 bytes\n");
    post(launcher, IDM_EXIT, compat::WM_COMMAND);
    EXPECT_EQ(finish(launcher, 10s), 0);
    expectNothingLeft();
}

}  // namespace

}  // namespace ovix
