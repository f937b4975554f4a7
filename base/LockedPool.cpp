#include "base/LockedPool.h"

#include <stdexcept>

namespace ovix {

void* LockedPool::alloc(std::size_t nodeSize) {
    std::lock_guard lock(m_lock);
    if (!m_pool)
        m_pool = new MappedPool(nodeSize, MappedPool::Mode::mapping);
    else if (m_pool->nodeSize() != nodeSize)
        throw std::logic_error("LockedPool: nodes of different sizes in one pool");
    return m_pool->alloc();
}

void LockedPool::free(void* node) noexcept {
    if (!node)
        return;
    std::lock_guard lock(m_lock);
    m_pool->free(node);
}

std::size_t LockedPool::nodeSize() const {
    std::lock_guard lock(m_lock);
    return m_pool ? m_pool->nodeSize() : 0;
}

std::size_t LockedPool::chunkCount() const {
    std::lock_guard lock(m_lock);
    return m_pool ? m_pool->chunksWithFreeNodes() + m_pool->fullChunks() + m_pool->reserveChunks() : 0;
}

}  // namespace ovix
