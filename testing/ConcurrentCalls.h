#pragma once
// Makes one call from several threads of the test and from several other
// processes at once, to show that callers who share a resource across
// threads and processes do not trip over each other.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <latch>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"

namespace ovix::testing {

// Runs `call` `rounds` times on each of `threads` threads and in each of
// `processes` forked children, all let go together once every one of them is
// ready, and returns every result: a child that fails gives fewer. The
// children are forked before any thread starts and leave with _exit, so
// `call` runs there on the only thread of a copy of this process.
inline std::vector<std::int32_t> concurrentResults(const std::function<std::int32_t()>& call, int threads,
                                                   int processes, int rounds) {
    int start[2], results[2];
    if (pipe(start) != 0)
        return {};
    UniqueFd startReader(start[0]), startWriter(start[1]);
    if (pipe(results) != 0)
        return {};
    UniqueFd resultReader(results[0]), resultWriter(results[1]);

    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        const pid_t child = fork();
        if (child < 0)
            break;
        if (child == 0) {
            startWriter.reset();
            char none;
            while (read(startReader.get(), &none, 1) < 0 && errno == EINTR) {
            }
            std::vector<std::int32_t> mine;
            for (int r = 0; r < rounds; ++r)
                mine.push_back(call());
            // One write of at most PIPE_BUF bytes is never mixed with another child's.
            const auto bytes = static_cast<ssize_t>(mine.size() * sizeof(std::int32_t));
            _exit(write(resultWriter.get(), mine.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 1);
        }
        children.push_back(child);
    }
    resultWriter.reset();

    std::latch go(1);
    std::vector<std::vector<std::int32_t>> threadResults(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    for (auto& mine : threadResults) {
        workers.emplace_back([&] {
            go.wait();
            for (int r = 0; r < rounds; ++r)
                mine.push_back(call());
        });
    }
    startWriter.reset();  // the children read the end of the pipe
    go.count_down();
    for (auto& worker : workers)
        worker.join();

    std::vector<std::int32_t> all;
    for (const auto& mine : threadResults)
        all.insert(all.end(), mine.begin(), mine.end());
    for (const pid_t child : children) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    std::int32_t result;
    for (ssize_t got; (got = read(resultReader.get(), &result, sizeof result)) != 0;) {
        if (got == static_cast<ssize_t>(sizeof result))
            all.push_back(result);
        else if (got > 0 || errno != EINTR)
            break;
    }
    return all;
}

}  // namespace ovix::testing
