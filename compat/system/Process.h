#pragma once
// Processes: started with an explicit argument list, environment and working
// folder, and watched through a process descriptor (pidfd), which names one
// process even after its id has been given to another. The descriptor is
// close-on-exec, like every descriptor of this layer. Waitable: it is
// signalled once the process has ended, so that other threads may wait for the
// end (waitForAny) while one thread collects the exit code with wait().
// A process may lead a process group of its own, ended whole by endGroup, and
// may be bound to the thread that started it, so that it never outlives it.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/UniqueFd.h"
#include "compat/system/Waitable.h"

namespace compat {

struct ProcessStart {
    std::string program{};                   // a path, or a name looked up in PATH when searchPath
    std::vector<std::string> arguments{};    // after the program's own name
    std::vector<std::string> environment{};  // "NAME=value" entries, exactly those the process gets
    std::filesystem::path workingFolder{};   // empty: the caller's current folder
    bool searchPath = false;
    // The process leads a new process group, which what it starts joins.
    bool ownGroup = false;
    // The kernel ends the process (SIGKILL) when the starting thread ends,
    // and so when the starting process dies, however it dies.
    bool endsWithStartingThread = false;
    // false: the process gets descriptors 0 to 2 only.
    bool inheritDescriptors = true;
};

// Whether thread `thread` (a kernel thread id) belongs to process `process`
// now.
bool processRunsThread(pid_t process, std::uint32_t thread);

// This process's environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

class Process : public Waitable {
public:
    // Starts a process. Empty, with errno set, when it cannot be started (the
    // program missing or not executable, the folder missing, ...).
    static std::optional<Process> start(const ProcessStart& request);
    // A process that runs already, by id; empty when there is none.
    static std::optional<Process> open(pid_t pid);

    Process(Process&& other) noexcept = default;
    Process& operator=(Process&& other) noexcept;
    // Closes the descriptor; the process itself goes on. A child that is
    // still running is reaped by a background thread when it ends.
    ~Process() override;

    pid_t pid() const { return m_pid; }

    // Waits until the process has ended or `timeout` has passed; no timeout
    // waits without limit. True when it has ended.
    bool wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    // Once a child started here has ended: its exit code, or 128 + the signal
    // that ended it. Empty before that and for processes opened by id.
    std::optional<int> exitCode() const { return m_exitCode; }
    // Ends the process at once (SIGKILL). False when it cannot be signalled.
    bool terminate() const;
    // Ends at once (SIGKILL) every process of the group that a child started
    // with ownGroup leads: the child and what it started there. Only on the
    // thread that collects the child, before wait() has collected it: until
    // then its id, and so the group's, cannot pass to another process. False
    // when there was nothing to end.
    bool endGroup() const;

    // The private memory it uses, in bytes: its anonymous resident pages and
    // its pages in swap (RssAnon and VmSwap of /proc/<pid>/status). Empty
    // when they cannot be read or the process has ended.
    std::optional<std::uint64_t> privateMemoryBytes() const;

    int waitDescriptor() const override { return m_fd.get(); }

private:
    Process(pid_t pid, ovix::UniqueFd fd, bool child) : m_pid(pid), m_fd(std::move(fd)), m_child(child) {}
    void closeDescriptor();

    pid_t m_pid = 0;
    ovix::UniqueFd m_fd;
    bool m_child = false;
    std::optional<int> m_exitCode;
};

}  // namespace compat
