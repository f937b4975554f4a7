#pragma once
// A private world for the launcher as a real process: its own runtime,
// configuration, temporary and program folders, the launcher and the stand-in
// main application copied side by side, a recording URL opener first on PATH,
// a desktop journal and no session bus. Stand-ins that outlive a test are
// ended with it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "compat/system/Process.h"
#include "compat/system/ProcessList.h"
#include "launcher/LauncherRegistry.h"
#include "testing/ScratchFolder.h"

namespace ovix::testing {

class LauncherSandbox : public ::testing::Test {
protected:
    // What a launcher that shows its icon logs here, where there is no bus.
    static constexpr const char* kNoBusLine =
        "desktop: no session bus (No such file or directory): the icon, its menu and the messages stay off the "
        "desktop\n";

    void SetUp() override {
        namespace fs = std::filesystem;
        for (const char* folder : {"run", "config", "app", "bin", "tmp"})
            fs::create_directories(m_scratch / folder);
        chmod((m_scratch / "run").c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        setenv("TMPDIR", (m_scratch / "tmp").c_str(), 1);
        setenv("OVIX_DESKTOP_JOURNAL", journal().c_str(), 1);
        // No session bus: the runtime folder holds none either.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("OVIX_PERIODS");
        setenv("PATH", ((m_scratch / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
        standIn("never-report");
        // The launcher works in its own folder and starts the application
        // from there: private copies keep each test's log and record apart.
        fs::copy_file(OVIX_LAUNCHER_EXE, m_launcher);
        fs::copy_file(OVIX_STANDIN_EXE, m_scratch / "app" / "Morvane.exe");
        const auto opener = m_scratch / "bin" / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nls -l /proc/self/fd > '" << (m_scratch / "opener.fds").string()
                              << "'\necho \"$1\" >> '" << opened().string() << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
    }

    void TearDown() override { endStrayStandIns(); }

    // The stand-in's switches (OVIX_STANDIN) for the launchers started next;
    // its record goes to record().
    void standIn(const std::string& switches) {
        m_standInSetting = "record=" + record().string() + (switches.empty() ? "" : ",") + switches;
        setenv("OVIX_STANDIN", m_standInSetting.c_str(), 1);
    }

    // The periods (OVIX_PERIODS, "quit-grace=300,watchdog=100" in
    // milliseconds) of the launchers started next and of the add-on's poller
    // made next.
    static void periods(const std::string& settings) { setenv("OVIX_PERIODS", settings.c_str(), 1); }

    compat::Process start(const std::string& argument = "") {
        std::vector<std::string> arguments;
        if (!argument.empty())
            arguments.push_back(argument);
        auto process = compat::Process::start(compat::ProcessStart{
            .program = m_launcher.string(), .arguments = arguments, .environment = compat::currentEnvironment()});
        EXPECT_TRUE(process);
        return std::move(*process);
    }

    // Runs a launcher to its end; its exit code, -1 when it overran `limit`.
    int run(const std::string& argument, std::chrono::seconds limit = std::chrono::seconds(20)) {
        auto process = start(argument);
        return finish(process, limit);
    }

    static int finish(compat::Process& process, std::chrono::milliseconds limit) {
        if (!process.wait(limit)) {
            process.terminate();
            process.wait();
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

    static std::vector<std::string> lines(const std::filesystem::path& path) {
        std::vector<std::string> result;
        std::istringstream text(readFile(path));
        for (std::string line; std::getline(text, line);)
            result.push_back(line);
        return result;
    }

    static std::size_t count(const std::vector<std::string>& lines, const std::string& line) {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::filesystem::path journal() const { return m_scratch / "journal"; }
    std::filesystem::path record() const { return m_scratch / "record"; }
    std::filesystem::path opened() const { return m_scratch / "opened"; }
    std::filesystem::path log() const { return m_scratch / "app" / "MorvaneLaunch.log"; }
    std::filesystem::path runtimeFolder() const { return m_scratch / "run" / "ovix"; }

    ScratchFolder m_scratch;
    std::filesystem::path m_launcher = m_scratch / "app" / "MorvaneLaunch.exe";

private:
    // Stand-ins of this test that still run, found by their record setting.
    void endStrayStandIns() {
        const std::string marker = "OVIX_STANDIN=record=" + record().string();
        for (const pid_t pid : compat::userProcessIds()) {
            if (pid == getpid())
                continue;
            const std::string environment = readFile("/proc/" + std::to_string(pid) + "/environ");
            if (environment.find(marker + '\0') != std::string::npos ||
                environment.find(marker + ',') != std::string::npos)
                kill(pid, SIGKILL);
        }
    }

    std::string m_standInSetting;
};

}  // namespace ovix::testing
