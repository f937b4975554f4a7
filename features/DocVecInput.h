#pragma once
// One file opened for reading (a file of a document-vector set, or another
// file the module reads), through a buffer of its own: little-endian 32-bit
// integers, raw bytes and whole text lines. Only a regular file is read, and
// opening one never waits (base/RegularFile.h).
// The file's size is taken when it opens, so a count read from the file can
// be checked against the bytes that are left.

#include <fcntl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/UniqueFd.h"

namespace ovix {

class DocVecInput {
public:
    enum class Opened { yes, no, notRegular };

    DocVecInput() = default;
    DocVecInput(DocVecInput&&) = default;
    DocVecInput& operator=(DocVecInput&&) = default;

    // Opens `path` with `flags` (O_RDONLY, or O_RDWR to check that a file
    // being written can be written); a FIFO, a device or a folder is
    // notRegular and is not opened.
    Opened open(const std::string& path, int flags = O_RDONLY);
    void close();
    bool isOpen() const { return static_cast<bool>(m_fd); }

    std::int64_t size() const { return m_size; }
    std::int64_t offset() const { return m_bufferOffset + static_cast<std::int64_t>(m_position); }
    std::int64_t remaining() const { return m_size - offset(); }
    bool rewind();

    // False when the file ends first or a read fails (readError tells).
    bool readBytes(void* out, size_t n);
    bool readInt(std::int32_t& value);
    // The next line without its newline; false at the end of the file with
    // nothing left to read, or when a read fails (never a part of a line).
    bool readLine(std::string& line);
    // Newline characters from here to the end of the file; the position is
    // left at the end. Empty when a read fails.
    std::optional<std::int64_t> countNewlines();

    // The errno of the read that failed, 0 when none did. After a failure
    // every read fails, until the file is opened again or rewound.
    int readError() const { return m_readError; }

private:
    // Up to n bytes from the file into `to`; fewer only at its end or when a
    // read fails.
    size_t readFile(char* to, size_t n);
    bool refill();  // keeps nothing of the current buffer; false at the end or on a failure

    UniqueFd m_fd;
    std::int64_t m_size = 0;
    std::vector<char> m_buffer;
    size_t m_position = 0;            // next byte in m_buffer
    size_t m_end = 0;                 // bytes held in m_buffer
    std::int64_t m_bufferOffset = 0;  // file offset of m_buffer[0]
    int m_readError = 0;
};

}  // namespace ovix
