#pragma once
// Files of document vectors: one record per document with its id, its label
// and its DocVecI entries, in one of four formats. A writer that passes its
// size limit goes on in numbered sub-files ("vectors.bin.sub1", ...), which a
// reader follows. Binary files of three older layouts are still read.
//
// A malformed file, a failed read or write or a visitor that stops forEachDoc
// prints "docVec:CHECK: VALUE" on the standard error stream and throws
// DocVecError. A file that ends too soon fails the check of what it lacks
// ("DocVec: record cannot be read in PATH"); a read that fails is told apart:
// "DocVec: PATH cannot be read: CAUSE".
// A file that cannot be opened or created is not an error: the object is left
// without files and counts 0 documents (isOpen tells). Opening never waits: a
// reader refuses a FIFO, a device or a folder with "DocVec: PATH is not a
// regular file", and a writer fails at once on a FIFO that nobody reads.
//
// A DocVec is used by one thread at a time.

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "features/DocVecInput.h"
#include "features/DocVecOutput.h"
#include "features/Fid.h"

namespace ovix {

class LineScanner;

enum DocVecFormat : int {
    DOCVEC_FORMAT_TEXT = 0,    // a header line, one record line per document, trailer lines
    DOCVEC_FORMAT_BINARY = 1,  // 32-bit little-endian header, records and trailers
    DOCVEC_FORMAT_LINES = 2,   // "id  fid+1:weight ..." lines, no header
    DOCVEC_FORMAT_MAPPED = 3,  // as LINES with ids renumbered 1, 2, ... in first-seen order; written only
};

constexpr int DOCVEC_MAGIC = -3009;

// Where a DocVecError was found; the number is the CHECK of its line.
enum class DocVecCheck {
    format = 1,        // an unknown format code
    header = 2,        // a header that cannot be read
    magic = 3,         // an unknown magic number
    headerMark = 4,    // a text header or trailer without its "?"
    docCount = 5,      // a document count below 0 or beyond what the files can hold
    subFileCount = 6,  // a sub-file count below 0
    subFile = 7,       // a sub-file that cannot be opened or created
    record = 8,        // a record that cannot be read
    recordIndex = 9,   // a record whose index is not its place in the file set
    entryCount = 10,   // an entry count below 0 or beyond what the file can hold
    entry = 11,        // an entry that cannot be read
    mapped = 12,       // reading the mapped format, which is written only
    write = 13,        // a write that failed, or a writer without a file
    stopped = 14,      // a forEachDoc visitor that returned false
    notRegular = 15,   // a FIFO, a device or a folder where a file of the set should be
    read = 16,         // a read of a file of the set that failed (the value is its errno)
};

class DocVecError : public std::runtime_error {
public:
    DocVecError(DocVecCheck check, long long value, const std::string& what)
        : std::runtime_error(what), m_check(check), m_value(value) {}
    DocVecCheck check() const { return m_check; }
    long long value() const { return m_value; }

private:
    DocVecCheck m_check;
    long long m_value;
};

struct DocVecRecord {
    int id = 0;
    int label = 0;
    std::vector<DocVecI> entries;
};

class DocVec {
public:
    static constexpr std::int64_t kSubFileLimit = 1'000'000'000;

    // Writing: creates the main file and writes its first header (nDocs 0).
    // Reading: opens the main file, reads its header and checks that every
    // sub-file can be opened. A record that starts past `subFileLimit` bytes
    // makes the next one go into a new sub-file (text and binary formats).
    DocVec(std::string path, DocVecFormat format, bool write, std::int64_t subFileLimit = kSubFileLimit);
    // Closes the files; a writer's headers are rewritten first.
    ~DocVec();
    DocVec(const DocVec&) = delete;
    DocVec& operator=(const DocVec&) = delete;

    bool isOpen() const { return m_main.isOpen() || m_mainOut.isOpen(); }
    const std::string& path() const { return m_path; }
    DocVecFormat format() const { return m_format; }
    bool writing() const { return m_write; }
    // Documents in the whole file set: read from the main header, or written so far.
    int nDocs() const { return m_nDocs; }
    int nSubFiles() const { return m_nSubFiles; }
    int magic() const { return m_magic; }

    // Appends one record; returns the offset in the current file where it starts.
    std::int64_t writeDoc(int id, int label, std::span<const DocVecI> entries);

    // Reads the next record into `record`, following the file set into its
    // next sub-file at a trailer; returns the offset in the current file
    // where the record starts.
    std::int64_t readDoc(DocVecRecord& record);

    // Goes back to the first record of the main file and reads its header
    // again; returns nDocs.
    int readHeader();

    // Reads the header again, then hands every record to `visit` with its
    // number from 0; `visit` returns true to go on. Returns nDocs.
    int forEachDoc(const std::function<bool(int number, const DocVecRecord& record)>& visit);

    // Opens the main file again and checks it, printing one line on the
    // standard error stream. A reader starts again at its first record (and
    // is left without files unless the result is 0 or 3); a writer is left as
    // it is: the file is checked through a handle of its own that neither
    // truncates nor moves it. Returns 0 when all is well, 1 when the file does
    // not open, 2 for a bad magic number, 3 (reading) for 0 documents, 4
    // (reading) for a sub-file that does not open.
    int reopen();

    // A writer rewrites its headers and closes; a reader closes. Closing a
    // closed DocVec does nothing.
    void close();

private:
    struct Header {
        int magic = DOCVEC_MAGIC;
        int nDocs = 0;
        int nSubFiles = 0;
        int firstIndex = 0;
    };

    // Prints the check's line and throws DocVecError with `message`, by
    // default "DocVec: WHAT in PATH".
    [[noreturn]] void fail(DocVecCheck check, long long value);
    [[noreturn]] void fail(DocVecCheck check, long long value, const std::string& message);
    // A read of `file` that came up short: its read failure when one stopped
    // it, else `check` (the file ended first).
    [[noreturn]] void failShortRead(const DocVecInput& file, DocVecCheck check, long long value);
    // Opens one file of the set for reading; false when it does not open.
    bool openInput(DocVecInput& file, const std::string& path, int flags = O_RDONLY);
    std::string subFilePath(int k) const;
    bool binary() const { return m_format == DOCVEC_FORMAT_BINARY; }
    bool hasHeader() const { return m_format == DOCVEC_FORMAT_TEXT || m_format == DOCVEC_FORMAT_BINARY; }

    // Reading.
    void openForReading();
    void closeReader();
    Header readFileHeader(DocVecInput& file);
    void readMainHeader();
    int findMissingSubFile();  // 0 when every sub-file opens; sets m_setBytes
    void checkDocCount();
    void openNextSubFile();
    DocVecInput& current() { return m_subFile > 0 ? m_sub : m_main; }
    bool atTrailer(int index) const;
    void checkIndex(int index);
    std::int64_t readBinaryRecord(DocVecRecord& record);
    void readBinaryEntries(int n, DocVecRecord& record);
    std::int64_t readTextRecord(DocVecRecord& record);
    std::int64_t readLinesRecord(DocVecRecord& record);
    void readTextEntries(LineScanner& fields, int n, DocVecRecord& record, std::uint64_t idOffset);
    int checkMagic(DocVecInput& file);

    // Writing.
    DocVecOutput& currentOut() { return m_subFile > 0 ? m_subOut : m_mainOut; }
    Header subFileHeader() const;
    void writeHeader(DocVecOutput& file, const Header& header);
    void writeTrailer(DocVecOutput& file);
    void writeOrFail(bool written);
    void rollOver();
    void formatTextRecord(int id, int label, std::span<const DocVecI> entries);
    void formatLinesRecord(int id, std::span<const DocVecI> entries);
    void formatMappedRecord(int id, std::span<const DocVecI> entries);

    std::string m_path;
    DocVecFormat m_format;
    bool m_write;
    std::int64_t m_subFileLimit;

    int m_nDocs = 0;
    int m_magic = DOCVEC_MAGIC;
    int m_nSubFiles = 0;
    int m_firstIndex = 0;  // writer: index of the current file's first record
    int m_subFile = 0;     // the current sub-file, 0 for the main file
    int m_index = 0;       // records written, or read since the main header
    bool m_rollOver = false;
    // After a failure a writer touches its files no more, and a reader reads
    // no record until its header is read again.
    bool m_failed = false;

    // Reading.
    DocVecInput m_main;
    DocVecInput m_sub;
    int m_mainFirstIndex = 0;     // from the main header
    int m_currentMagic = 0;       // layout of the current file's records
    std::int64_t m_setBytes = 0;  // size of the main file and its sub-files

    // Writing.
    DocVecOutput m_mainOut;
    DocVecOutput m_subOut;
    std::unordered_map<std::uint64_t, std::uint64_t> m_numbers;  // mapped format: id to its number
    std::uint64_t m_lastNumber = 0;
    std::vector<std::pair<std::uint64_t, float>> m_mapped;  // a mapped record being sorted

    std::string m_text;  // a text record being formatted or scanned
};

}  // namespace ovix
