#pragma once
// A thread that blocks on one of the module's own locks may be holding a global
// lock of its host (the Python interpreter lock). If the thread that owns our
// lock needs the host's lock to finish, both would wait forever. The host
// installs hooks that let its lock go for the length of such a wait.

namespace ovix {

struct BlockingWaitHooks {
    void* (*release)();              // returns a token for reacquire, or nullptr
    void (*reacquire)(void* token);  // called with that token, never with nullptr
};

// Installs the host's hooks; called once, before any thread can block.
void installBlockingWaitHooks(BlockingWaitHooks hooks);

// Releases the host's lock for its lifetime.
class BlockingWait {
public:
    BlockingWait();
    ~BlockingWait();
    BlockingWait(const BlockingWait&) = delete;
    BlockingWait& operator=(const BlockingWait&) = delete;

private:
    void* m_token;
};

// Takes the lock at once when it is free; otherwise waits for it with the
// host's lock released.
template <class Lockable>
void lockOutsideHost(Lockable& lock) {
    if (lock.try_lock())
        return;
    BlockingWait wait;
    lock.lock();
}

}  // namespace ovix
