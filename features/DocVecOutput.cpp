#include "features/DocVecOutput.h"

#include <bit>

namespace ovix {

static_assert(std::endian::native == std::endian::little, "the file layouts are written as little-endian memory");

bool DocVecOutput::open(const std::string& path, const char* mode) {
    m_file.reset(std::fopen(path.c_str(), mode));
    m_offset = 0;
    if (m_file)
        std::setvbuf(m_file.get(), nullptr, _IOFBF, 64 * 1024);
    return m_file != nullptr;
}

bool DocVecOutput::close() {
    if (!m_file)
        return true;
    const bool written = std::fclose(m_file.release()) == 0;
    m_offset = 0;
    return written;
}

bool DocVecOutput::seek(std::int64_t offset) {
    if (!m_file || fseeko(m_file.get(), offset, SEEK_SET) != 0)
        return false;
    m_offset = offset;
    return true;
}

bool DocVecOutput::writeBytes(const void* bytes, size_t n) {
    if (!m_file)
        return false;
    if (n > 0 && std::fwrite(bytes, 1, n, m_file.get()) != n)
        return false;
    m_offset += static_cast<std::int64_t>(n);
    return true;
}

}  // namespace ovix
