#include "features/DocVecInput.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "base/FdIo.h"
#include "base/RegularFile.h"

namespace ovix {
namespace {

constexpr size_t kBufferSize = 64 * 1024;
static_assert(std::endian::native == std::endian::little, "the file layouts are read as little-endian memory");

}  // namespace

DocVecInput::Opened DocVecInput::open(const std::string& path, int flags) {
    close();
    RegularFile file = openRegularFile(path, flags);
    if (!file.fd)
        return file.notRegular ? Opened::notRegular : Opened::no;
    m_fd = std::move(file.fd);
    m_size = file.size;
    m_buffer.resize(kBufferSize);
    return Opened::yes;
}

void DocVecInput::close() {
    m_fd.reset();
    m_size = 0;
    m_position = m_end = 0;
    m_bufferOffset = 0;
    m_readError = 0;
}

bool DocVecInput::rewind() {
    if (!m_fd || lseek(m_fd.get(), 0, SEEK_SET) != 0)
        return false;
    m_position = m_end = 0;
    m_bufferOffset = 0;
    m_readError = 0;
    return true;
}

size_t DocVecInput::readFile(char* to, size_t n) {
    if (m_readError != 0)
        return 0;
    const ReadResult read = readUpTo(m_fd.get(), to, n);
    m_readError = read.error;
    return read.count;
}

bool DocVecInput::refill() {
    m_bufferOffset += static_cast<std::int64_t>(m_end);
    m_position = 0;
    m_end = readFile(m_buffer.data(), m_buffer.size());
    return m_end > 0;
}

bool DocVecInput::readBytes(void* out, size_t n) {
    if (!m_fd)
        return false;
    auto* to = static_cast<char*>(out);
    while (n > 0) {
        if (m_position == m_end) {
            // A large read goes straight from the file into its place.
            if (n >= m_buffer.size()) {
                m_bufferOffset += static_cast<std::int64_t>(m_end);
                m_position = m_end = 0;
                const size_t got = readFile(to, n);
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
    if (!m_fd)
        return false;
    bool readAny = false;
    for (;;) {
        if (m_position == m_end && !refill())
            return readAny && m_readError == 0;
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

std::optional<std::int64_t> DocVecInput::countNewlines() {
    std::int64_t count = 0;
    if (!m_fd)
        return 0;
    do {
        count += std::count(m_buffer.data() + m_position, m_buffer.data() + m_end, '\n');
        m_position = m_end;
    } while (refill());
    if (m_readError != 0)
        return std::nullopt;
    return count;
}

}  // namespace ovix
