#pragma once
// Runs a hostile case, whose failure would be a blow-up of time or memory, in
// a forked child under limits, so that a regression fails the test instead of
// stalling or exhausting the machine: the child may map `memoryBytes` more
// than it started with (a limit left out under AddressSanitizer, which
// reserves terabytes of its own) and is killed after `seconds`. The case runs
// on the child's only thread: it must not need the parent's other threads.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <exception>
#include <fstream>
#include <functional>
#include <new>
#include <string>

#include "base/UniqueFd.h"

namespace ovix::testing {

struct ChildLimits {
    std::size_t memoryBytes = std::size_t{512} << 20;
    unsigned seconds = 20;
};

// What `hostileCase` returns, or the text of what it throws, or how the child
// ended: "out of memory", "out of time", "killed by signal N".
inline std::string outcomeInChild(const std::function<std::string()>& hostileCase, ChildLimits limits = {}) {
    int channel[2];
    if (pipe(channel) != 0)
        return "no pipe";
    UniqueFd reader(channel[0]), writer(channel[1]);
    const pid_t child = fork();
    if (child < 0)
        return "no child";
    if (child == 0) {
        reader.reset();
#ifndef __SANITIZE_ADDRESS__
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t bytes = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + limits.memoryBytes;
        const rlimit space{bytes, bytes};
        setrlimit(RLIMIT_AS, &space);
#endif
        alarm(limits.seconds);
        std::string outcome;
        try {
            outcome = hostileCase();
        } catch (const std::bad_alloc&) {
            outcome = "out of memory";
        } catch (const std::exception& e) {
            outcome = e.what();
        }
        const ssize_t written = write(writer.get(), outcome.data(), outcome.size());
        _exit(written == static_cast<ssize_t>(outcome.size()) ? 0 : 1);
    }
    writer.reset();
    std::string outcome;
    char buffer[4096];
    for (ssize_t got; (got = read(reader.get(), buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            outcome.append(buffer, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            break;
    }
    reader.reset();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? "out of time" : "killed by signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0)
        return "child exited with " + std::to_string(WEXITSTATUS(status));
    return outcome;
}

}  // namespace ovix::testing
