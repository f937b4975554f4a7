#pragma once
// A pid namespace of a test's own, in which the test chooses the id of the
// next thread it starts, as the kernel would give it once its ids have come
// round. A child process becomes the first process of new user, mount and pid
// namespaces and mounts a /proc of its own, so that thread ids and /proc
// agree there. Needs unprivileged user namespaces (Debian allows them).

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace ovix::testing {

namespace detail {

inline bool writeText(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

// In the child that made the namespaces: runs `check` in its own child, the
// namespace's first process, and writes what it returns to `out`.
[[noreturn]] inline void runAsFirstProcess(const std::function<std::string()>& check, int out) {
    const pid_t first = fork();
    if (first == 0) {
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
            _exit(2);
        const std::string failure = check();
        _exit(write(out, failure.data(), failure.size()) == static_cast<ssize_t>(failure.size()) ? 0 : 3);
    }
    int status = 0;
    _exit(first > 0 && waitpid(first, &status, 0) == first && WIFEXITED(status) ? WEXITSTATUS(status) : 4);
}

}  // namespace detail

// What `check` returns when run as the first process of a pid namespace of
// its own (empty when it passed, else what failed); empty when this machine
// cannot make the namespaces.
inline std::optional<std::string> inOwnPidNamespace(const std::function<std::string()>& check) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWPID) != 0 ||
            !detail::writeText("/proc/self/setgroups", "deny") ||
            !detail::writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !detail::writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            _exit(2);
        detail::runAsFirstProcess(check, ends[1]);
    }
    close(ends[1]);
    std::string failure;
    char buffer[256];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
        failure.append(buffer, static_cast<std::size_t>(got));
    close(ends[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return "the namespace's first process died";
    switch (WEXITSTATUS(status)) {
        case 0:
            return failure;
        case 2:
            return std::nullopt;
        default:
            return "the namespace's first process failed";
    }
}

// In a namespace of inOwnPidNamespace, makes `tid` the id of the next thread
// or process that starts; false elsewhere.
inline bool nextIdIs(pid_t tid) {
    return detail::writeText("/proc/sys/kernel/ns_last_pid", std::to_string(tid - 1));
}

}  // namespace ovix::testing
