#include "features/DvirCentroid.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace ovix {

namespace {

// Per-id sums in one open-addressing table: slots hold indexes into the array
// of sums, which becomes the result. The whole id is hashed, so ids that share
// their first bytes (short text labels) still spread over the table.
class IdSums {
public:
    explicit IdSums(size_t expected) { grow(std::bit_ceil(std::max<size_t>(expected * 2, 16))); }

    void add(const Fid& fid, float weight) {
        const std::uint64_t id = fid.asNumber();
        for (size_t slot = home(id);; slot = (slot + 1) & m_mask) {
            const std::uint32_t index = m_slots[slot];
            if (index == kEmpty) {
                m_slots[slot] = static_cast<std::uint32_t>(m_sums.size());
                m_sums.push_back({fid, weight});
                if (m_sums.size() * 2 > m_slots.size())
                    grow(m_slots.size() * 2);
                return;
            }
            if (m_sums[index].fid.asNumber() == id) {
                m_sums[index].weight += weight;
                return;
            }
        }
    }

    std::vector<DocVecI>& sums() { return m_sums; }

private:
    // Indexes are 32-bit: 2^32 distinct ids would need 48 GiB of sums alone.
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    size_t home(std::uint64_t id) const {
        // Fibonacci hashing: the top bits of the product mix every id bit.
        return static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> m_shift);
    }

    void grow(size_t capacity) {
        m_slots.assign(capacity, kEmpty);
        m_mask = capacity - 1;
        m_shift = 64 - std::countr_zero(capacity);
        for (std::uint32_t index = 0; index < m_sums.size(); ++index) {
            size_t slot = home(m_sums[index].fid.asNumber());
            while (m_slots[slot] != kEmpty)
                slot = (slot + 1) & m_mask;
            m_slots[slot] = index;
        }
    }

    std::vector<std::uint32_t> m_slots;
    size_t m_mask = 0;
    int m_shift = 0;
    std::vector<DocVecI> m_sums;
};

}  // namespace

std::vector<DocVecI> dvirListCentroid(std::span<const DvirView> list) {
    size_t largest = 0;
    for (const DvirView& v : list)
        largest = std::max(largest, v.size());
    IdSums table(largest);
    for (const DvirView& v : list) {
        for (size_t i = 0; i < v.size(); ++i)
            table.add(v.fid(i), v.weight(i));
    }

    std::vector<DocVecI> centroid = std::move(table.sums());
    double squares = 0.0;
    for (const DocVecI& e : centroid)
        squares += static_cast<double>(e.weight) * e.weight;
    const double length = std::sqrt(squares);
    if (length != 0.0) {
        for (DocVecI& e : centroid)
            e.weight = static_cast<float>(e.weight / length);
    }
    dvirSortById(centroid);
    return centroid;
}

}  // namespace ovix
