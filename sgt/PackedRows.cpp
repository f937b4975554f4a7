#include "sgt/PackedRows.h"

#include <algorithm>

namespace ovix {

template <class T>
PackedRows<T>::PackedRows(const SparseRowMap<T>* rows, int n)
    : m_rows(static_cast<std::size_t>(std::max(n, 0))), m_offsets(m_rows + 1) {
    for (std::size_t i = 0; i < m_rows; ++i)
        m_offsets[i + 1] = m_offsets[i] + rows[i].size();
    const std::size_t entries = m_offsets[m_rows];
    const std::size_t parts = std::max<std::size_t>(1, entries / kEntriesPerPart);
    m_rowsPerPart = std::max<std::size_t>(1, (m_rows + parts - 1) / parts);
    m_columns = MappedArray<int>(entries);
    m_weights = MappedArray<T>(entries);
    std::size_t at = 0;
    for (std::size_t i = 0; i < m_rows; ++i) {
        for (const auto& [column, weight] : rows[i]) {
            m_columns[at] = column;
            m_weights[at] = weight;
            ++at;
        }
    }
}

template <class T>
void PackedRows<T>::multiply(const double* x, double* y, WorkTeam& team) const {
    const std::size_t* offsets = m_offsets.data();
    const int* columns = m_columns.data();
    const T* weights = m_weights.data();
    const std::size_t parts = (m_rows + m_rowsPerPart - 1) / m_rowsPerPart;
    team.run(parts, [&](std::size_t part) {
        const std::size_t end = std::min(m_rows, (part + 1) * m_rowsPerPart);
        for (std::size_t i = part * m_rowsPerPart; i < end; ++i) {
            double sum = 0;
            for (std::size_t k = offsets[i]; k < offsets[i + 1]; ++k)
                sum += weights[k] * x[columns[k]];
            y[i] = sum;
        }
    });
}

template class PackedRows<float>;
template class PackedRows<double>;

}  // namespace ovix
