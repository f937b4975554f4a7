// What a task of the engine's WorkTeam costs, with the helpers looking for
// work for WorkTeam::kSpin before they sleep against helpers that sleep at
// once (a spin of 0, the system's sleep and wake-up for every task), side by
// side: tasks back to back, as a solve hands them in, and tasks after a pause
// longer than kSpin, which find the helpers asleep either way. Each task has
// one part per thread that takes about a microsecond; every helper shares
// every task.
//
//   build/bench/work_team_bench [tasks]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "sgt/WorkTeam.h"

using namespace ovix;

namespace {

double processorUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& t) { return t.tv_sec * 1e6 + static_cast<double>(t.tv_usec); };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

// Microseconds per task: wall time inside run, processor time of the whole
// process (all threads, pauses included).
struct Cost {
    double wall;
    double processor;
};

Cost measure(unsigned helpers, std::chrono::nanoseconds spin, int tasks, std::chrono::microseconds pause) {
    WorkTeam team(helpers, {.spin = spin, .crowded = [] { return false; }});
    const auto parts = static_cast<std::size_t>(helpers) + 1;
    const auto part = [](std::size_t) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(1);
        while (std::chrono::steady_clock::now() < end) {
        }
    };
    double inside = 0;
    const double processorStart = processorUs();
    for (int t = 0; t < tasks; ++t) {
        if (pause.count() > 0)
            std::this_thread::sleep_for(pause);
        const auto start = std::chrono::steady_clock::now();
        team.run(parts, part);
        inside += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    }
    return {inside / tasks, (processorUs() - processorStart) / tasks};
}

}  // namespace

int main(int argc, char** argv) {
    const int tasks = argc > 1 ? std::atoi(argv[1]) : 20000;
    const auto pause = 4 * WorkTeam::kSpin;
    std::printf("us per task (wall in run / processor)\n%8s %24s %24s %24s %24s\n", "helpers", "back to back, spin",
                "back to back, no spin", "after a pause, spin", "after a pause, no spin");
    for (const unsigned helpers : {1u, 3u, 7u}) {
        std::printf("%8u", helpers);
        for (const auto gap : {std::chrono::microseconds(0), pause})
            for (const auto spin : {std::chrono::nanoseconds(WorkTeam::kSpin), std::chrono::nanoseconds(0)}) {
                const Cost cost = measure(helpers, spin, gap.count() ? tasks / 10 : tasks, gap);
                std::printf(" %11.2f / %10.2f", cost.wall, cost.processor);
            }
        std::printf("\n");
    }
    return 0;
}
