#pragma once
// A pool of equal-sized nodes carved from 1 MiB chunks, so that millions of
// small map nodes cost no per-node header and can live outside the heap.
// Chunks come from the heap or from anonymous mappings. A chunk whose nodes
// are all free again is kept as the pool's one reserve chunk, which the next
// chunk needed reuses, so that a map made and dropped over and over (one per
// document) costs no mapping, page faults and unmapping each time; any other
// empty chunk goes back at once, and the reserve when the pool is destroyed.
// A chunk hands out its nodes in address order before any returned one.
// Not thread-safe: LockedPool.h guards the module's pools.

#include <cstddef>

namespace ovix {

class MappedPool {
public:
    enum class Mode { heap = 0, mapping = 1 };

    static constexpr std::size_t chunkSize = 0x100000;

    // nodeSize must hold a pointer and fit a chunk: std::invalid_argument
    // otherwise.
    MappedPool(std::size_t nodeSize, Mode mode);
    // Gives back every chunk, the reserve and those whose nodes were not freed.
    ~MappedPool();
    MappedPool(const MappedPool&) = delete;
    MappedPool& operator=(const MappedPool&) = delete;

    // One uninitialised node. Throws std::bad_alloc, with the pool unchanged,
    // when no chunk can be had.
    void* alloc();
    // Gives a node of this pool back; null is ignored.
    void free(void* node) noexcept;

    std::size_t nodeSize() const { return m_nodeSize; }
    Mode mode() const { return m_mode; }
    // (chunkSize - chunkHeaderSize) / nodeSize.
    std::size_t nodesPerChunk() const { return m_nodesPerChunk; }
    // Chunks with live nodes, some free or none; the reserve is in neither.
    std::size_t chunksWithFreeNodes() const;
    std::size_t fullChunks() const;
    // 1 while an empty chunk is kept in reserve, else 0.
    std::size_t reserveChunks() const { return m_reserve ? 1 : 0; }

    // The bookkeeping at the start of each chunk, before its nodes.
    static const std::size_t chunkHeaderSize;
    // Every node of a pool whose node size is a multiple of this is aligned to it.
    static constexpr std::size_t nodeAlignment = 16;

private:
    struct Chunk;
    struct ChunkList {
        Chunk* front = nullptr;
        void pushFront(Chunk* chunk);
        void unlink(Chunk* chunk);
        std::size_t size() const;
    };

    // The reserve, else a new chunk; either with all its nodes fresh.
    Chunk* emptyChunk();
    // Keeps an empty chunk as the reserve, or gives it back when there is one.
    void retire(Chunk* chunk) noexcept;
    void releaseChunk(Chunk* chunk) noexcept;
    static Chunk* chunkOf(void* node);

    const std::size_t m_nodeSize;
    const Mode m_mode;
    const std::size_t m_nodesPerChunk;
    ChunkList m_withFreeNodes;
    ChunkList m_full;
    Chunk* m_reserve = nullptr;
};

}  // namespace ovix
