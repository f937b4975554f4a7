#include "sgt/PackedRows.h"

#include <algorithm>

namespace ovix {

template <class T>
PackedRows<T>::PackedRows(const SparseRowMap<T>* rows, int n)
    : m_rows(static_cast<std::size_t>(std::max(n, 0))), m_offsets(m_rows + 1) {
    for (std::size_t i = 0; i < m_rows; ++i)
        m_offsets[i + 1] = m_offsets[i] + rows[i].size();
    m_columns = MappedArray<int>(m_offsets[m_rows]);
    m_weights = MappedArray<T>(m_offsets[m_rows]);
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
    const std::size_t parts = (m_rows + kRowsPerPart - 1) / kRowsPerPart;
    team.run(parts, [&](std::size_t part) {
        const std::size_t end = std::min(m_rows, (part + 1) * kRowsPerPart);
        for (std::size_t i = part * kRowsPerPart; i < end; ++i) {
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
