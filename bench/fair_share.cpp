// What a crowded machine leaves a program of T threads at best: the same
// arithmetic shared over T threads that never wait on each other, timed on the
// quiet machine and beside K processes that spin, as bench/busy.py's do under
// bench/arpack_eigs.py --busy. A solve shared over T threads also waits for
// the slowest part of each step, so under that load it takes at least the
// printed ratio times its quiet time.
//
//   build/bench/fair_share_bench [K]     (K: the processors when left out)

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// Where the threads' sums go, so that their arithmetic is not left out.
volatile double g_sums = 0;

// Passes over a thread's own array, taken by the threads a batch at a time:
// a thread that the system runs more often makes more of them.
constexpr long kPasses = 400000;
constexpr long kBatch = 64;
// Small enough for a processor's first-level cache: the threads share no
// memory traffic, only the processors.
constexpr std::size_t kLength = 2048;

// Milliseconds for `threads` threads to make kPasses between them.
double job(unsigned threads) {
    std::atomic<long> taken{0};
    std::vector<double> sums(threads);
    const auto start = std::chrono::steady_clock::now();
    {
        std::vector<std::jthread> team;
        for (unsigned t = 0; t < threads; ++t)
            team.emplace_back([&taken, &sums, t] {
                std::vector<double> a(kLength, 1.0 + t);
                double sum = 0;
                for (long p = taken.fetch_add(kBatch); p < kPasses; p = taken.fetch_add(kBatch))
                    for (long pass = p; pass < p + kBatch; ++pass) {
                        for (const double x : a)
                            sum += x * x;
                        a[static_cast<std::size_t>(pass) % kLength] += 1e-9;  // a new pass each time
                    }
                sums[t] = sum;
            });
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    for (const double sum : sums)
        g_sums = g_sums + sum;
    return took.count();
}

// Keeps a processor busy until this process or its parent dies.
[[noreturn]] void spin(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(0);
    std::atomic<unsigned long> spins{0};
    for (;;)
        spins.fetch_add(1, std::memory_order_relaxed);
}

// The median of three runs.
double medianJob(unsigned threads) {
    std::array<double, 3> times{job(threads), job(threads), job(threads)};
    std::sort(times.begin(), times.end());
    return times[1];
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const int spinners = argc > 1 ? std::atoi(argv[1]) : static_cast<int>(processors);
    if (spinners < 0 || argc > 2) {
        std::fprintf(stderr, "usage: %s [SPINNING_PROCESSES]\n", argv[0]);
        return 2;
    }
    std::vector<double> quiet;
    for (unsigned threads = 1; threads <= processors; ++threads)
        quiet.push_back(medianJob(threads));

    // Forked while no thread of ours runs.
    std::vector<pid_t> children;
    const pid_t self = getpid();
    for (int i = 0; i < spinners; ++i) {
        const pid_t child = fork();
        if (child == 0)
            spin(self);
        if (child < 0) {
            std::perror("fork");
            break;
        }
        children.push_back(child);
    }
    std::printf("%u processors, %zu spinning processes beside; median of 3 (ms)\n%8s %8s %8s %6s\n", processors,
                children.size(), "threads", "quiet", "busy", "ratio");
    for (unsigned threads = 1; threads <= processors; ++threads) {
        const double busy = medianJob(threads);
        std::printf("%8u %8.1f %8.1f %6.2f\n", threads, quiet[threads - 1], busy, busy / quiet[threads - 1]);
    }
    for (const pid_t child : children) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return children.size() == static_cast<std::size_t>(spinners) ? 0 : 1;
}
