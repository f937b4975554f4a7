#include "features/HeldBytes.h"

#include <cstdint>
#include <cstring>

namespace ovix {

std::span<const DocVecI> alignedEntries(std::span<const unsigned char> bytes, std::vector<DocVecI>& copy) {
    const size_t n = bytes.size() / sizeof(DocVecI);
    if (reinterpret_cast<std::uintptr_t>(bytes.data()) % alignof(DocVecI) == 0)
        return {reinterpret_cast<const DocVecI*>(bytes.data()), n};
    copy.resize(n);
    std::memcpy(copy.data(), bytes.data(), n * sizeof(DocVecI));
    return copy;
}

}  // namespace ovix
