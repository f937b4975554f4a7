#include "compat/system/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <thread>

#include "base/FileText.h"

extern char** environ;

namespace compat {

namespace {

std::vector<char*> pointers(const std::vector<std::string>& texts) {
    std::vector<char*> result;
    result.reserve(texts.size() + 1);
    for (const auto& text : texts)
        result.push_back(const_cast<char*>(text.c_str()));
    result.push_back(nullptr);
    return result;
}

// The system calls themselves: the C library's header lacks C++ linkage.
int pidfdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0u));
}

int pidfdSendSignal(int fd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0u));
}

int exitCodeOf(const siginfo_t& info) {
    return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
}

}  // namespace

bool processRunsThread(pid_t process, std::uint32_t thread) {
    if (process <= 0 || thread == 0)
        return false;
    struct stat info;
    const auto task = "/proc/" + std::to_string(process) + "/task/" + std::to_string(thread);
    return stat(task.c_str(), &info) == 0;
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry)
        result.emplace_back(*entry);
    return result;
}

std::optional<Process> Process::start(const ProcessStart& request) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (!request.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.workingFolder.c_str());
    if (!request.inheritDescriptors)
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child starts with no signal blocked and default handlers.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argumentTexts{request.program};
    argumentTexts.insert(argumentTexts.end(), request.arguments.begin(), request.arguments.end());
    auto argv = pointers(argumentTexts);
    auto envp = pointers(request.environment);
    pid_t pid;
    const auto spawn = request.searchPath ? posix_spawnp : posix_spawn;
    const int error = spawn(&pid, request.program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    const int fd = pidfdOpen(pid);
    if (fd < 0) {
        const int openError = errno;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        errno = openError;
        return std::nullopt;
    }
    return Process(pid, fd, true);
}

std::optional<Process> Process::open(pid_t pid) {
    if (pid <= 0) {
        errno = ESRCH;
        return std::nullopt;
    }
    const int fd = pidfdOpen(pid);
    if (fd < 0)
        return std::nullopt;
    return Process(pid, fd, false);
}

Process::Process(Process&& other) noexcept
    : m_pid(other.m_pid), m_fd(other.m_fd), m_child(other.m_child), m_exitCode(other.m_exitCode) {
    other.m_fd = -1;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        closeDescriptor();
        m_pid = other.m_pid;
        m_fd = other.m_fd;
        m_child = other.m_child;
        m_exitCode = other.m_exitCode;
        other.m_fd = -1;
    }
    return *this;
}

Process::~Process() {
    closeDescriptor();
}

void Process::closeDescriptor() {
    if (m_fd < 0)
        return;
    if (m_child && !m_exitCode) {
        // Nobody waits for it any more: reap it when it ends, so that no
        // zombie stays behind.
        std::thread([fd = m_fd] {
            siginfo_t info{};
            while (waitid(P_PIDFD, fd, &info, WEXITED) != 0 && errno == EINTR) {
            }
            close(fd);
        }).detach();
    } else {
        close(m_fd);
    }
    m_fd = -1;
}

bool Process::wait(std::optional<std::chrono::milliseconds> timeout) {
    if (m_exitCode)
        return true;
    if (m_fd < 0 || !waitForAny({this}, timeout))
        return false;
    if (m_child) {
        siginfo_t info{};
        int result;
        do {
            result = waitid(P_PIDFD, m_fd, &info, WEXITED);
        } while (result != 0 && errno == EINTR);
        if (result == 0)
            m_exitCode = exitCodeOf(info);
    }
    return true;
}

bool Process::terminate() const {
    return m_fd >= 0 && pidfdSendSignal(m_fd, SIGKILL) == 0;
}

std::optional<std::uint64_t> Process::privateMemoryBytes() const {
    if (m_fd < 0)
        return std::nullopt;
    const auto status = ovix::readFileText("/proc/" + std::to_string(m_pid) + "/status");
    if (!status)
        return std::nullopt;
    std::optional<std::uint64_t> anonymousKb, swapKb;
    std::istringstream lines(*status);
    for (std::string line; std::getline(lines, line);) {
        std::uint64_t kb;
        if (std::sscanf(line.c_str(), "RssAnon: %" SCNu64 " kB", &kb) == 1)
            anonymousKb = kb;
        else if (std::sscanf(line.c_str(), "VmSwap: %" SCNu64 " kB", &kb) == 1)
            swapKb = kb;
    }
    // Read while the process was still running, the figures are its own: its
    // id cannot have passed to another process before it ended.
    if (!anonymousKb || !swapKb || waitForAny({this}, std::chrono::milliseconds(0)))
        return std::nullopt;
    return (*anonymousKb + *swapKb) * 1024;
}

}  // namespace compat
