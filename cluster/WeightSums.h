#pragma once
// Sums of weights by feature id: a hash table with open addressing, which a
// centroid being summed adds to once per entry of every document.

#include <cstdint>
#include <vector>

#include "features/Fid.h"

namespace ovix {

class WeightSums {
public:
    // sum(id) += weight, from 0 for a new id.
    void add(std::uint64_t id, float weight);
    // The sum of id, or null when it has none.
    const float* find(std::uint64_t id) const;

    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    // Forgets every sum; the room stays.
    void clear();

    // The sums as entries, in no particular order.
    std::vector<DocVecI> entries() const;

private:
    struct Slot {
        std::uint64_t id = 0;
        float weight = 0;
        bool used = false;
    };

    std::size_t slotOf(std::uint64_t id) const;
    void grow();

    std::vector<Slot> m_slots;  // a power of two of them, at most half used
    std::size_t m_size = 0;
    int m_shift = 63;  // 64 - log2(the slot count)
};

}  // namespace ovix
