#include "base/RunOnOwnStack.h"

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

namespace ovix {
namespace {

struct Job {
    const std::function<void()>& work;
    std::exception_ptr failure;
};

void* runJob(void* argument) {
    auto* job = static_cast<Job*>(argument);
    try {
        job->work();
    } catch (...) {
        job->failure = std::current_exception();
    }
    return nullptr;
}

}  // namespace

void runOnOwnStack(std::size_t stackBytes, const std::function<void()>& work) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        throw std::bad_alloc();
    const int sized = pthread_attr_setstacksize(&attributes, std::max(stackBytes, static_cast<std::size_t>(PTHREAD_STACK_MIN)));
    Job job{work, nullptr};
    pthread_t thread;
    const int made = sized == 0 ? pthread_create(&thread, &attributes, runJob, &job) : sized;
    pthread_attr_destroy(&attributes);
    if (made != 0)
        throw std::bad_alloc();
    pthread_join(thread, nullptr);
    if (job.failure)
        std::rethrow_exception(job.failure);
}

}  // namespace ovix
