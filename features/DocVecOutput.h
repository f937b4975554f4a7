#pragma once
// One file opened for writing (a file of a document-vector set, or another
// file the module writes as it goes): little-endian 32-bit integers, raw bytes
// and text, appended at a position it keeps itself, and a header rewrite at
// offset 0 that leaves the rest of the file as it is. Every call reports a
// failed write by returning false.
//
// Opening never waits: a FIFO that nobody reads fails to open at once.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace ovix {

class DocVecOutput {
public:
    // Creates or truncates `path`; false when it cannot.
    bool open(const std::string& path);
    // Closes the file; false when its last bytes could not be written.
    bool close();
    bool isOpen() const { return m_file != nullptr; }

    std::int64_t offset() const { return m_offset; }
    bool flush() { return m_file && std::fflush(m_file.get()) == 0; }
    bool seek(std::int64_t offset);

    bool writeBytes(const void* bytes, size_t n);
    bool writeInt(std::int32_t value) { return writeBytes(&value, sizeof value); }
    bool writeText(std::string_view text) { return writeBytes(text.data(), text.size()); }

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    std::unique_ptr<std::FILE, Closer> m_file;
    std::int64_t m_offset = 0;
};

}  // namespace ovix
