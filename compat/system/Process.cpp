#include "compat/system/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <thread>

#include "base/FileText.h"
#include "base/UniqueFd.h"

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

// Everything the child needs, made before the fork: between fork and exec the
// child of a threaded process may only make async-signal-safe calls.
struct ChildPlan {
    const ProcessStart& request;
    char* const* argv;
    char* const* envp;
    pid_t parent;
};

[[noreturn]] void failChild(int report) {
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(report, &error, sizeof error);
    _exit(127);
}

[[noreturn]] void runChild(const ChildPlan& plan, int report) {
    const ProcessStart& request = plan.request;
    if (request.endsWithStartingThread) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
            failChild(report);
        // The starter died before the request took hold.
        if (getppid() != plan.parent)
            _exit(127);
    }
    if (request.ownGroup && setpgid(0, 0) != 0)
        failChild(report);
    if (!request.workingFolder.empty() && chdir(request.workingFolder.c_str()) != 0)
        failChild(report);
    // All but 0 to 2 and the report, which closes itself at the exec.
    if (!request.inheritDescriptors &&
        ((report > 3 && syscall(SYS_close_range, 3u, static_cast<unsigned>(report) - 1, 0u) != 0) ||
         syscall(SYS_close_range, static_cast<unsigned>(std::max(report + 1, 3)), ~0u, 0u) != 0))
        failChild(report);
    // The program starts with default handlers and no signal blocked.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (request.searchPath)
        execvpe(request.program.c_str(), plan.argv, plan.envp);
    else
        execve(request.program.c_str(), plan.argv, plan.envp);
    failChild(report);
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
    std::vector<std::string> argumentTexts{request.program};
    argumentTexts.insert(argumentTexts.end(), request.arguments.begin(), request.arguments.end());
    const auto argv = pointers(argumentTexts);
    const auto envp = pointers(request.environment);
    const ChildPlan plan{request, argv.data(), envp.data(), getpid()};

    int reportEnds[2];
    if (pipe2(reportEnds, O_CLOEXEC) != 0)
        return std::nullopt;
    ovix::UniqueFd reportIn(reportEnds[0]), reportOut(reportEnds[1]);
    // No handler of this process may run in the child before its exec.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = fork();
    // The child never returns from runChild: it ends by exec or _exit, and no
    // destructor runs there.
    if (pid == 0)
        runChild(plan, reportOut.get());
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    reportOut.reset();
    if (pid < 0) {
        errno = forkError;
        return std::nullopt;
    }
    // Nothing to read once the exec has closed the pipe; an error otherwise.
    int childError = 0;
    ssize_t got;
    do {
        got = read(reportIn.get(), &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    reportIn.reset();
    if (got != 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        errno = got == static_cast<ssize_t>(sizeof childError) ? childError : EIO;
        return std::nullopt;
    }
    ovix::UniqueFd fd(pidfdOpen(pid));
    if (!fd) {
        const int openError = errno;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        errno = openError;
        return std::nullopt;
    }
    return Process(pid, std::move(fd), true);
}

std::optional<Process> Process::open(pid_t pid) {
    if (pid <= 0) {
        errno = ESRCH;
        return std::nullopt;
    }
    ovix::UniqueFd fd(pidfdOpen(pid));
    if (!fd)
        return std::nullopt;
    return Process(pid, std::move(fd), false);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        closeDescriptor();
        m_pid = other.m_pid;
        m_fd = std::move(other.m_fd);
        m_child = other.m_child;
        m_exitCode = other.m_exitCode;
    }
    return *this;
}

Process::~Process() {
    closeDescriptor();
}

void Process::closeDescriptor() {
    if (!m_fd)
        return;
    if (m_child && !m_exitCode) {
        // Nobody waits for it any more: reap it when it ends, so that no
        // zombie stays behind. The reaper owns the descriptor from here.
        std::thread([fd = std::move(m_fd)] {
            siginfo_t info{};
            while (waitid(P_PIDFD, fd.get(), &info, WEXITED) != 0 && errno == EINTR) {
            }
        }).detach();
    } else {
        m_fd.reset();
    }
}

bool Process::wait(std::optional<std::chrono::milliseconds> timeout) {
    if (m_exitCode)
        return true;
    if (!m_fd || !waitForAny({this}, timeout))
        return false;
    if (m_child) {
        siginfo_t info{};
        int result;
        do {
            result = waitid(P_PIDFD, m_fd.get(), &info, WEXITED);
        } while (result != 0 && errno == EINTR);
        if (result == 0)
            m_exitCode = exitCodeOf(info);
    }
    return true;
}

bool Process::terminate() const {
    return m_fd && pidfdSendSignal(m_fd.get(), SIGKILL) == 0;
}

bool Process::endGroup() const {
    return m_child && !m_exitCode && m_fd && kill(-m_pid, SIGKILL) == 0;
}

std::optional<std::uint64_t> Process::privateMemoryBytes() const {
    if (!m_fd)
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
