#include "base/MappedPool.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/AnonymousMapping.h"

namespace ovix {

// Chunks are aligned to their size, so the chunk of a node is its address with
// the low bits cleared, and the lists are doubly linked: a release finds and
// moves its chunk in constant time.
struct MappedPool::Chunk {
    Chunk* prev;
    Chunk* next;
    std::uint32_t used;  // fresh nodes handed out; the next fresh one is number `used`
    std::uint32_t free;  // nodes free now, fresh or returned
    void* returned;      // last returned node; each holds the one before in its first bytes

    char* node(std::size_t index, std::size_t nodeSize) {
        return reinterpret_cast<char*>(this) + sizeof(Chunk) + index * nodeSize;
    }
};
const std::size_t MappedPool::chunkHeaderSize = sizeof(Chunk);

namespace {

// A returned node holds the next returned one; nodes of odd sizes are not
// pointer-aligned, so the link is copied bytewise.
void* nextReturned(void* node) {
    void* next;
    std::memcpy(&next, node, sizeof next);
    return next;
}

void setNextReturned(void* node, void* next) {
    std::memcpy(node, &next, sizeof next);
}

}  // namespace

MappedPool::MappedPool(std::size_t nodeSize, Mode mode)
    : m_nodeSize(nodeSize), m_mode(mode), m_nodesPerChunk(nodeSize ? (chunkSize - chunkHeaderSize) / nodeSize : 0) {
    static_assert(sizeof(Chunk) % nodeAlignment == 0);
    if (nodeSize < sizeof(void*) || nodeSize > chunkSize - chunkHeaderSize)
        throw std::invalid_argument("MappedPool: node size out of range");
}

MappedPool::~MappedPool() {
    for (ChunkList* list : {&m_withFreeNodes, &m_full}) {
        while (Chunk* chunk = list->front) {
            list->unlink(chunk);
            releaseChunk(chunk);
        }
    }
    releaseChunk(m_reserve);
}

void* MappedPool::alloc() {
    if (!m_withFreeNodes.front)
        m_withFreeNodes.pushFront(emptyChunk());
    Chunk* chunk = m_withFreeNodes.front;
    void* node;
    if (chunk->returned) {
        node = chunk->returned;
        chunk->returned = nextReturned(node);
    } else {
        node = chunk->node(chunk->used++, m_nodeSize);
    }
    if (--chunk->free == 0) {
        m_withFreeNodes.unlink(chunk);
        m_full.pushFront(chunk);
    }
    return node;
}

void MappedPool::free(void* node) noexcept {
    if (!node)
        return;
    Chunk* chunk = chunkOf(node);
    if (chunk->free == 0) {
        m_full.unlink(chunk);
        m_withFreeNodes.pushFront(chunk);
    }
    if (++chunk->free == m_nodesPerChunk) {
        m_withFreeNodes.unlink(chunk);
        retire(chunk);
    } else {
        setNextReturned(node, chunk->returned);
        chunk->returned = node;
    }
}

std::size_t MappedPool::chunksWithFreeNodes() const {
    return m_withFreeNodes.size();
}

std::size_t MappedPool::fullChunks() const {
    return m_full.size();
}

MappedPool::Chunk* MappedPool::emptyChunk() {
    void* memory = std::exchange(m_reserve, nullptr);
    if (!memory)
        memory = m_mode == Mode::heap ? ::operator new (chunkSize, std::align_val_t{chunkSize})
                                      : ovix::mapAnonymousAligned(chunkSize, chunkSize);
    Chunk* chunk = new (memory) Chunk{};
    chunk->free = static_cast<std::uint32_t>(m_nodesPerChunk);
    return chunk;
}

void MappedPool::retire(Chunk* chunk) noexcept {
    if (m_reserve)
        releaseChunk(chunk);
    else
        m_reserve = chunk;
}

void MappedPool::releaseChunk(Chunk* chunk) noexcept {
    if (!chunk)
        return;
    if (m_mode == Mode::heap)
        ::operator delete (chunk, std::align_val_t{chunkSize});
    else
        ovix::unmapAnonymous(chunk, chunkSize);
}

MappedPool::Chunk* MappedPool::chunkOf(void* node) {
    return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(node) & ~std::uintptr_t{chunkSize - 1});
}

void MappedPool::ChunkList::pushFront(Chunk* chunk) {
    chunk->prev = nullptr;
    chunk->next = front;
    if (front)
        front->prev = chunk;
    front = chunk;
}

void MappedPool::ChunkList::unlink(Chunk* chunk) {
    (chunk->prev ? chunk->prev->next : front) = chunk->next;
    if (chunk->next)
        chunk->next->prev = chunk->prev;
}

std::size_t MappedPool::ChunkList::size() const {
    std::size_t n = 0;
    for (const Chunk* chunk = front; chunk; chunk = chunk->next)
        ++n;
    return n;
}

}  // namespace ovix
