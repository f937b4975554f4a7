#include "sgt/NeighbourHeaps.h"

#include <algorithm>

namespace ovix {

NeighbourHeaps::NeighbourHeaps(std::span<SimilarityPair> storage, int keep)
    : m_storage(storage),
      m_keep(static_cast<std::size_t>(keep)),
      m_rows(std::make_unique<Row[]>(m_keep == 0 ? 0 : storage.size() / m_keep)) {}

float NeighbourHeaps::offer(std::size_t row, std::span<const SimilarityPair> candidates) {
    SimilarityPair* heap = m_storage.data() + row * m_keep;
    Row& state = m_rows[row];
    while (state.held.exchange(1, std::memory_order_acquire) != 0)
        state.held.wait(1, std::memory_order_relaxed);
    std::uint32_t& size = state.size;
    for (const SimilarityPair& pair : candidates) {
        if (size < m_keep) {
            heap[size++] = pair;
            std::push_heap(heap, heap + size, compareSimilarityDesc);
        } else if (compareSimilarityDesc(pair, heap[0])) {
            std::pop_heap(heap, heap + size, compareSimilarityDesc);
            heap[size - 1] = pair;
            std::push_heap(heap, heap + size, compareSimilarityDesc);
        }
    }
    if (size == m_keep)
        state.worst.store(heap[0].similarity, std::memory_order_relaxed);
    const float worst = state.worst.load(std::memory_order_relaxed);
    state.held.store(0, std::memory_order_release);
    state.held.notify_one();
    return worst;
}

void NeighbourHeaps::sortRows() {
    if (m_keep == 0)
        return;
    for (std::size_t first = 0; first < m_storage.size(); first += m_keep)
        std::sort_heap(m_storage.data() + first, m_storage.data() + first + m_keep, compareSimilarityDesc);
}

}  // namespace ovix
