#include "cluster/WeightSums.h"

#include <bit>
#include <cstring>
#include <utility>

namespace ovix {

std::size_t WeightSums::slotOf(std::uint64_t id) const {
    // Fibonacci hashing: the top bits of the product spread any ids.
    return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> m_shift);
}

void WeightSums::add(std::uint64_t id, float weight) {
    if (2 * (m_size + 1) > m_slots.size())
        grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t s = slotOf(id);
    while (m_slots[s].used && m_slots[s].id != id)
        s = (s + 1) & mask;
    Slot& slot = m_slots[s];
    if (!slot.used) {
        slot = Slot{id, 0, true};
        ++m_size;
    }
    slot.weight += weight;
}

const float* WeightSums::find(std::uint64_t id) const {
    if (m_size == 0)
        return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t s = slotOf(id); m_slots[s].used; s = (s + 1) & mask)
        if (m_slots[s].id == id)
            return &m_slots[s].weight;
    return nullptr;
}

void WeightSums::clear() {
    if (m_size == 0)
        return;
    for (Slot& slot : m_slots)
        slot.used = false;
    m_size = 0;
}

void WeightSums::grow() {
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(std::max<std::size_t>(16, 2 * m_slots.size())));
    m_shift = 64 - std::countr_zero(m_slots.size());
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.used)
            continue;
        std::size_t s = slotOf(slot.id);
        while (m_slots[s].used)
            s = (s + 1) & mask;
        m_slots[s] = slot;
    }
}

std::vector<DocVecI> WeightSums::entries() const {
    std::vector<DocVecI> out;
    out.reserve(m_size);
    for (const Slot& slot : m_slots) {
        if (!slot.used)
            continue;
        DocVecI e;
        std::memcpy(e.fid.m_fid, &slot.id, sizeof slot.id);
        e.weight = slot.weight;
        out.push_back(e);
    }
    return out;
}

}  // namespace ovix
