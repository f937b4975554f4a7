#include "features/FidsLock.h"

#include <stdexcept>

namespace ovix {

FidsLock::Section::Section(FidsLock& lock) : m_lock(lock) {
    if (lock.try_lock())
        return;
    m_hostReleased.emplace();
    lock.waitAndLock();
}

FidsLock::Section::~Section() {
    m_lock.unlock();
}

void FidsLock::lock() {
    if (try_lock())
        return;
    BlockingWait wait;
    waitAndLock();
}

void FidsLock::waitAndLock() {
    std::unique_lock state(m_state);
    m_freed.wait(state, [this] { return tryAcquireLocked(); });
}

bool FidsLock::try_lock() {
    std::lock_guard state(m_state);
    return tryAcquireLocked();
}

void FidsLock::unlock() {
    std::lock_guard state(m_state);
    if (m_depth == 0 || m_owner != std::this_thread::get_id())
        throw std::logic_error("FidsLock released by a thread that does not hold it");
    releaseLocked();
}

void FidsLock::unlockFor(std::thread::id owner) {
    std::lock_guard state(m_state);
    if (m_depth > 0 && m_owner == owner)
        releaseLocked();
}

bool FidsLock::tryAcquireLocked() {
    const auto self = std::this_thread::get_id();
    if (m_depth > 0 && m_owner != self)
        return false;
    m_owner = self;
    ++m_depth;
    return true;
}

void FidsLock::releaseLocked() {
    if (--m_depth == 0) {
        m_owner = std::thread::id();
        m_freed.notify_all();
    }
}

}  // namespace ovix
