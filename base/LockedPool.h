#pragma once
// A node pool shared by threads: every allocation and release runs under the
// pool's lock. The lock exists from the moment the module is loaded; the pool
// itself (chunks from anonymous mappings) is made by the first allocation,
// with the node size asked for, and lives until the process ends, so that maps
// in other static objects may outlive this one. All members may be called
// from any thread.
//
// The lock is a plain mutex, also for a thread that holds the Python
// interpreter lock: its holder never waits for anything while it holds it, so
// the wait is short and cannot deadlock, and the interpreter lock is not given
// up in the middle of a map operation.

#include <cstddef>
#include <mutex>

#include "base/MappedPool.h"

namespace ovix {

class LockedPool {
public:
    constexpr LockedPool() = default;
    LockedPool(const LockedPool&) = delete;
    LockedPool& operator=(const LockedPool&) = delete;

    // One node of nodeSize bytes. Every call must ask for the same size
    // (std::logic_error otherwise). Throws std::bad_alloc when no chunk can
    // be had.
    void* alloc(std::size_t nodeSize);
    // Gives back a node of this pool; null is ignored.
    void free(void* node) noexcept;

    // The node size, 0 before the first allocation.
    std::size_t nodeSize() const;
    // Chunks held now: full or not, and the reserve (MappedPool.h).
    std::size_t chunkCount() const;

private:
    mutable std::mutex m_lock;
    MappedPool* m_pool = nullptr;
};

}  // namespace ovix
