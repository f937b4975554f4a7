#include "features/Fid.h"

#include <algorithm>

namespace ovix {

Fid::Fid(std::string_view text) {
    const size_t n = std::min<size_t>(text.size(), FID_LEN);
    if (n > 0)
        std::memcpy(m_fid, text.data(), n);
    std::memset(m_fid + n, ' ', FID_LEN - n);
}

std::string Fid::text() const {
    int n = FID_LEN;
    while (n > 0 && m_fid[n - 1] == ' ')
        --n;
    return std::string(m_fid, n);
}

}  // namespace ovix
