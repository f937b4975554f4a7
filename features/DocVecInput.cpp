#include "features/DocVecInput.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace ovix {
namespace {

constexpr size_t kBufferSize = 64 * 1024;
static_assert(std::endian::native == std::endian::little, "the file layouts are read as little-endian memory");

}  // namespace

bool DocVecInput::open(const std::string& path, const char* mode) {
    close();
    m_file.reset(std::fopen(path.c_str(), mode));
    if (!m_file)
        return false;
    struct stat info;
    if (fstat(fileno(m_file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return false;
    }
    m_size = info.st_size;
    m_buffer.resize(kBufferSize);
    return true;
}

void DocVecInput::close() {
    m_file.reset();
    m_size = 0;
    m_position = m_end = 0;
    m_bufferOffset = 0;
}

bool DocVecInput::rewind() {
    if (!m_file || std::fseek(m_file.get(), 0, SEEK_SET) != 0)
        return false;
    m_position = m_end = 0;
    m_bufferOffset = 0;
    return true;
}

bool DocVecInput::refill() {
    m_bufferOffset += static_cast<std::int64_t>(m_end);
    m_position = 0;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file.get());
    return m_end > 0;
}

bool DocVecInput::readBytes(void* out, size_t n) {
    if (!m_file)
        return false;
    auto* to = static_cast<char*>(out);
    while (n > 0) {
        if (m_position == m_end) {
            // A large read goes straight from the file into its place.
            if (n >= m_buffer.size()) {
                m_bufferOffset += static_cast<std::int64_t>(m_end);
                m_position = m_end = 0;
                const size_t got = std::fread(to, 1, n, m_file.get());
                m_bufferOffset += static_cast<std::int64_t>(got);
                return got == n;
            }
            if (!refill())
                return false;
        }
        const size_t take = std::min(n, m_end - m_position);
        std::memcpy(to, m_buffer.data() + m_position, take);
        m_position += take;
        to += take;
        n -= take;
    }
    return true;
}

bool DocVecInput::readInt(std::int32_t& value) {
    return readBytes(&value, sizeof value);
}

bool DocVecInput::readLine(std::string& line) {
    line.clear();
    if (!m_file)
        return false;
    bool readAny = false;
    for (;;) {
        if (m_position == m_end && !refill())
            return readAny;
        readAny = true;
        const char* from = m_buffer.data() + m_position;
        const size_t held = m_end - m_position;
        const void* newline = std::memchr(from, '\n', held);
        if (newline) {
            const size_t length = static_cast<const char*>(newline) - from;
            line.append(from, length);
            m_position += length + 1;
            return true;
        }
        line.append(from, held);
        m_position = m_end;
    }
}

std::int64_t DocVecInput::countNewlines() {
    std::int64_t count = 0;
    if (!m_file)
        return 0;
    do {
        count += std::count(m_buffer.data() + m_position, m_buffer.data() + m_end, '\n');
        m_position = m_end;
    } while (refill());
    return count;
}

}  // namespace ovix
