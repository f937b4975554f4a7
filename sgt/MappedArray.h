#pragma once
// Page-file-backed arrays: each array is an anonymous mapping of its own, so
// that large matrices and solver work areas never take space on the process
// heap and go back to the system as soon as they are released. The first 8
// bytes of the mapping hold the array's size in bytes as a 64-bit number; the
// data begins right after them, 8-byte aligned, and the data pointer alone is
// enough to release the array.

#include <cstddef>
#include <new>
#include <utility>

namespace ovix {

// `bytes` zeroed bytes in a new mapping. Throws std::bad_alloc when the
// system cannot supply them.
void* mappedAlloc(std::size_t bytes);

// Releases an array made by mappedAlloc, given its data pointer; null is
// ignored.
void mappedFree(void* data) noexcept;

// The size in bytes that mappedAlloc was given for this array.
std::size_t mappedSize(const void* data) noexcept;

// Owner of one page-file-backed array of `E` (a trivial type).
template <class E>
class MappedArray {
public:
    MappedArray() noexcept = default;
    // `count` zeroed elements. Throws std::bad_alloc when count * sizeof(E)
    // does not fit a size_t or the system cannot supply the bytes.
    explicit MappedArray(std::size_t count);
    ~MappedArray() { mappedFree(m_data); }
    MappedArray(MappedArray&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    MappedArray& operator=(MappedArray&& other) noexcept {
        if (this != &other) {
            mappedFree(m_data);
            m_data = std::exchange(other.m_data, nullptr);
        }
        return *this;
    }

    E* data() const noexcept { return m_data; }
    E& operator[](std::size_t i) const noexcept { return m_data[i]; }
    // Elements held; 0 without an array.
    std::size_t size() const noexcept { return m_data ? mappedSize(m_data) / sizeof(E) : 0; }
    explicit operator bool() const noexcept { return m_data != nullptr; }

    // Gives up ownership; the caller releases the data with mappedFree.
    E* release() noexcept { return std::exchange(m_data, nullptr); }

private:
    E* m_data = nullptr;
};

template <class E>
MappedArray<E>::MappedArray(std::size_t count) {
    static_assert(alignof(E) <= 8, "the data begins 8 bytes into a page");
    if (count > static_cast<std::size_t>(-1) / sizeof(E))
        throw std::bad_array_new_length();
    m_data = static_cast<E*>(mappedAlloc(count * sizeof(E)));
}

}  // namespace ovix
