// A stand-in for the main application "Morvane.exe", for tests: it plays the
// application's side of the thread-message protocol with the launcher.
//
// It reads "ParentThreadId", keeps a queue on its main thread with a
// one-second timer, reports its thread and process ids and its status to
// the parent thread, and obeys quit, start or resume, and pause. The
// environment variable OVIX_STANDIN holds comma-separated switches:
//   record=PATH     append one line per event to PATH ("args ...", "started
//                   pid=N parent=P thread=T folder=F" with its process id,
//                   "ParentProcessId", "ParentThreadId" and working folder,
//                   "reported", "report failed", "resume", "pause", "quit",
//                   "exit N")
//   status=N        the status it reports (default 0, online)
//   never-report    report nothing
//   ignore-quit     stay when told to quit
//   exit-after=MS   exit with code 3 after MS milliseconds (0: before reporting)
//   grow=BYTES      at every tick take BYTES more memory and touch it
//   worker          first fork a worker that records "worker pid=N" and
//                   waits for ever

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compat/ipc/MessageQueue.h"
#include "launcher/protocol/ThreadProtocol.h"

using namespace ovix;

namespace {

struct Switches {
    std::string record;
    unsigned status = 0;
    bool neverReport = false;
    bool ignoreQuit = false;
    long exitAfterMs = -1;
    std::size_t growBytes = 0;
    bool worker = false;
};

Switches readSwitches() {
    Switches switches;
    const char* text = std::getenv("OVIX_STANDIN");
    std::string_view rest = text ? text : "";
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string item(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        if (name == "record")
            switches.record = value;
        else if (name == "status")
            switches.status = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (name == "never-report")
            switches.neverReport = true;
        else if (name == "ignore-quit")
            switches.ignoreQuit = true;
        else if (name == "exit-after")
            switches.exitAfterMs = std::strtol(value.c_str(), nullptr, 10);
        else if (name == "grow")
            switches.growBytes = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "worker")
            switches.worker = true;
    }
    return switches;
}

class Recorder {
public:
    explicit Recorder(const std::string& path) {
        if (!path.empty())
            m_file = std::fopen(path.c_str(), "ae");
    }
    ~Recorder() {
        if (m_file)
            std::fclose(m_file);
    }
    void line(const std::string& text) {
        if (m_file) {
            std::fprintf(m_file, "%s\n", text.c_str());
            std::fflush(m_file);
        }
    }

private:
    std::FILE* m_file = nullptr;
};

// The parent's thread id: the leading digits of "ParentThreadId", 0 without.
compat::ThreadId parentThread() {
    const char* text = std::getenv("ParentThreadId");
    return text ? static_cast<compat::ThreadId>(std::strtoul(text, nullptr, 10)) : 0;
}

bool post(compat::ThreadId parent, std::uint32_t code, std::uint32_t argument) {
    return compat::PostThreadMessage(parent, compat::WM_USER, code, argument);
}

bool report(compat::ThreadId parent, unsigned status) {
    const auto thread = compat::currentThreadId();
    const auto process = compat::currentProcessId();
    return post(parent, PLATFORM_TMSG_TID_LO, thread & 0xFFFF) && post(parent, PLATFORM_TMSG_TID_HI, thread >> 16) &&
           post(parent, PLATFORM_TMSG_PID_LO, process & 0xFFFF) && post(parent, PLATFORM_TMSG_PID_HI, process >> 16) &&
           post(parent, PLATFORM_STATUS_BASE + status, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const Switches switches = readSwitches();
    Recorder record(switches.record);
    std::string args = "args";
    for (int i = 1; i < argc; ++i)
        args += std::string(" ") + argv[i];
    record.line(args);
    auto environment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "-");
    };
    char folder[4096];
    record.line("started pid=" + std::to_string(compat::currentProcessId()) +
                " parent=" + environment("ParentProcessId") + " thread=" + environment("ParentThreadId") +
                " folder=" + (getcwd(folder, sizeof folder) ? folder : "-"));

    if (switches.worker) {
        const pid_t worker = fork();
        if (worker == 0) {
            for (;;)
                pause();
        }
        record.line("worker pid=" + std::to_string(worker));
    }

    auto finish = [&](int code) {
        record.line("exit " + std::to_string(code));
        return code;
    };
    if (switches.exitAfterMs == 0)
        return finish(3);
    compat::ensureMessageQueue();
    compat::SetTimer(0, 0, 1000);
    const unsigned deadline =
        switches.exitAfterMs > 0 ? compat::SetTimer(0, 0, static_cast<unsigned>(switches.exitAfterMs)) : 0;
    if (!switches.neverReport)
        record.line(report(parentThread(), switches.status) ? "reported" : "report failed");

    std::vector<std::unique_ptr<char[]>> grown;
    compat::Message message;
    while (compat::GetMessage(message) >= 0) {
        if (message.message == compat::WM_QUIT ||
            (message.message == compat::WM_USER && message.wParam == PLATFORM_TMSG_QUIT)) {
            record.line("quit");
            if (!switches.ignoreQuit)
                return finish(0);
        } else if (message.message == compat::WM_USER && message.wParam == PLATFORM_TMSG_RESUME) {
            record.line("resume");
        } else if (message.message == compat::WM_USER && message.wParam == PLATFORM_TMSG_PAUSE) {
            record.line("pause");
        } else if (message.message == compat::WM_TIMER) {
            if (deadline && message.wParam == deadline)
                return finish(3);
            if (switches.growBytes > 0) {
                grown.emplace_back(new char[switches.growBytes]);
                std::memset(grown.back().get(), 1, switches.growBytes);
            }
        }
    }
    return finish(1);
}
