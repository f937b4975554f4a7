#pragma once
// One file of a document-vector set opened for reading, through a buffer of
// its own: little-endian 32-bit integers, raw bytes and whole text lines. The
// file's size is taken when it opens, so a count read from the file can be
// checked against the bytes that are left.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ovix {

class DocVecInput {
public:
    DocVecInput() = default;
    DocVecInput(DocVecInput&&) = default;
    DocVecInput& operator=(DocVecInput&&) = default;

    // Opens `path` with the fopen mode; false when it does not open.
    bool open(const std::string& path, const char* mode);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    std::int64_t size() const { return m_size; }
    std::int64_t offset() const { return m_bufferOffset + static_cast<std::int64_t>(m_position); }
    std::int64_t remaining() const { return m_size - offset(); }
    bool rewind();

    // False, when the file ends first.
    bool readBytes(void* out, size_t n);
    bool readInt(std::int32_t& value);
    // The next line without its newline; false at the end of the file with
    // nothing left to read.
    bool readLine(std::string& line);
    // Newline characters from here to the end of the file; the position is
    // left at the end.
    std::int64_t countNewlines();

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    bool refill();  // keeps nothing of the current buffer; false at the end

    std::unique_ptr<std::FILE, Closer> m_file;
    std::int64_t m_size = 0;
    std::vector<char> m_buffer;
    size_t m_position = 0;            // next byte in m_buffer
    size_t m_end = 0;                 // bytes held in m_buffer
    std::int64_t m_bufferOffset = 0;  // file offset of m_buffer[0]
};

}  // namespace ovix
