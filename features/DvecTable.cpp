#include "features/DvecTable.h"

#include <climits>
#include <stdexcept>

namespace ovix {

void DvecTable::add(int id, int label, const HoldBytes& hold) {
    if (complete())
        throw std::runtime_error("Too many elements");
    Held held{hold(), {}};
    const std::span<const DocVecI> entries = alignedEntries(held.bytes->bytes(), held.copy);
    if (entries.size() > INT_MAX)
        throw std::runtime_error("dvir is too large");
    m_held.push_back(std::move(held));
    try {
        m_rows.push_back({id, static_cast<int>(entries.size()), label, entries.data()});
    } catch (...) {
        m_held.pop_back();
        throw;
    }
}

}  // namespace ovix
