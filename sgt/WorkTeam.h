#pragma once
// A few threads that share out the parts of one task at a time with the
// thread that hands the task in. Each part goes to whichever thread is free
// next, the caller included, so a thread that the system holds back delays
// only the part it has taken, and a task whose helpers are slow to wake is
// done by the caller alone. A task wakes no more helpers than it has parts
// besides the caller's; between tasks the helpers sleep on a condition
// variable: they never spin.
//
// One task at a time: run is called by one thread at a time.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ovix {

class WorkTeam {
public:
    // A team of `helpers` threads besides the caller of run; with 0, run
    // calls every part on the calling thread. Helpers that cannot be started
    // are done without.
    explicit WorkTeam(unsigned helpers);
    // Stops and joins the helpers.
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    unsigned helpers() const { return static_cast<unsigned>(m_threads.size()); }

    // Calls part(i) once for every i < parts and returns when all have
    // returned. part must not throw.
    void run(std::size_t parts, const std::function<void(std::size_t)>& part);

private:
    void serve();
    void takeParts();  // by a thread that joined the running task

    std::mutex m_mutex;
    std::condition_variable m_taskStarted;
    std::condition_variable m_taskDone;
    // Guarded by m_mutex: a task is running, its number, the helpers taking
    // its parts now, and the team is stopping.
    bool m_running = false;
    std::uint64_t m_task = 0;
    unsigned m_joined = 0;
    bool m_stopping = false;
    // The running task, written before it starts and read by threads that
    // joined it.
    const std::function<void(std::size_t)>* m_part = nullptr;
    std::size_t m_parts = 0;
    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_unfinished{0};
    std::vector<std::thread> m_threads;
};

}  // namespace ovix
