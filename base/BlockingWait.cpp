#include "base/BlockingWait.h"

#include <atomic>

namespace ovix {
namespace {

std::atomic<void* (*)()> g_release{nullptr};
std::atomic<void (*)(void*)> g_reacquire{nullptr};

}  // namespace

void installBlockingWaitHooks(BlockingWaitHooks hooks) {
    g_reacquire.store(hooks.reacquire);
    g_release.store(hooks.release);
}

BlockingWait::BlockingWait() {
    auto release = g_release.load();
    m_token = release ? release() : nullptr;
}

BlockingWait::~BlockingWait() {
    if (m_token)
        g_reacquire.load()(m_token);
}

}  // namespace ovix
