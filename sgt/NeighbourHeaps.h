#pragma once
// The best neighbours found so far of every document of a set, for searchers
// on several threads that each offer candidates to any document.
//
// Each row is a heap of at most keep pairs, its front the worst kept, held in
// storage that the caller owns; a row is changed under a lock of its own.
// Once a row is full its worst similarity is published, so that a searcher
// turns most candidates away without taking the lock.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>

#include "sgt/SparseDotProduct.h"

namespace ovix {

class NeighbourHeaps {
public:
    // Rows of `keep` pairs each, row i at storage[i * keep].
    NeighbourHeaps(std::span<SimilarityPair> storage, int keep);

    // A similarity below which no candidate can enter `row` any more: minus
    // infinity while the row is not full, a NaN when the worst pair kept is
    // one (numbers all rank before it). It only rises in that ranking, so an
    // old value turns away no candidate that could enter.
    float worst(std::size_t row) const { return m_rows[row].worst.load(std::memory_order_relaxed); }

    // Keeps the best `keep` of the row's pairs and `candidates`, by
    // compareSimilarityDesc; returns the row's worst() after.
    float offer(std::size_t row, std::span<const SimilarityPair> candidates);

    // Sorts every row best first. Every row must be full, and every offer
    // in.
    void sortRows();

private:
    std::span<SimilarityPair> m_storage;
    std::size_t m_keep;
    // What an offer to a row touches besides its pairs, side by side: its
    // lock (1 while held; a thread that waits for it sleeps on it) and its
    // size.
    struct Row {
        std::atomic<float> worst{-std::numeric_limits<float>::infinity()};
        std::atomic<std::uint32_t> held{0};
        std::uint32_t size = 0;
    };
    std::unique_ptr<Row[]> m_rows;
};

}  // namespace ovix
