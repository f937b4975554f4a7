#pragma once
// The rows of an in-memory batch of documents and the packed vectors they
// point into: every vector stays held, and its row valid, while the table
// lives. A table is filled by one thread; once complete it is only read, and
// may be read from any thread.

#include <atomic>
#include <memory>
#include <span>
#include <vector>

#include "features/DvecRow.h"
#include "features/HeldBytes.h"

namespace ovix {

class DvecTable {
public:
    // An empty table for exactly `capacity` rows (0 or more).
    explicit DvecTable(int capacity) : m_capacity(capacity) {}
    DvecTable(const DvecTable&) = delete;
    DvecTable& operator=(const DvecTable&) = delete;

    int capacity() const { return m_capacity; }
    int count() const { return static_cast<int>(m_rows.size()); }
    bool complete() const { return count() == m_capacity; }

    // Fills the next row with the vector that `hold` holds. Throws "Too many
    // elements" when the table is complete, else what `hold` throws; the
    // table is then as it was.
    void add(int id, int label, const HoldBytes& hold);

    std::span<const _dVec> rows() const { return m_rows; }

    // The rows are no longer their sink's: it was reset or destroyed.
    void retire() { m_retired = true; }
    bool retired() const { return m_retired; }

private:
    struct Held {
        std::unique_ptr<HeldBytes> bytes;
        std::vector<DocVecI> copy;  // the entries of bytes not aligned for DocVecI
    };

    int m_capacity;
    std::vector<_dVec> m_rows;
    std::vector<Held> m_held;  // one per row; moving one keeps its copy in place
    std::atomic<bool> m_retired = false;
};

}  // namespace ovix
