#include "features/DocVecOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>

namespace ovix {

static_assert(std::endian::native == std::endian::little, "the file layouts are written as little-endian memory");

bool DocVecOutput::open(const std::string& path) {
    m_file.reset();
    m_offset = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    // Only the open must not wait; writes to a device or a FIFO wait as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_file.reset(fdopen(fd, "w"));
    if (!m_file) {
        ::close(fd);
        return false;
    }
    std::setvbuf(m_file.get(), nullptr, _IOFBF, 64 * 1024);
    return true;
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
