#include "features/DocVec.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "features/LineScanner.h"

namespace ovix {

namespace {

// Older binary layouts, still read.
constexpr int kMagicWideIds = -3008;     // n ids of 8 bytes, then n weights
constexpr int kMagicNarrowIds = -3007;   // n signed 32-bit ids, then n weights
constexpr int kMagicShortHeader = 2002;  // header of magic and nDocs only; records as -3007

constexpr size_t kEntryBytes = sizeof(DocVecI);
constexpr std::int64_t kSmallestBinaryRecord = 16;  // index, id, label, n
constexpr std::int64_t kSmallestTextRecord = 7;     // "0 0 0 0"

const char* describe(DocVecCheck check) {
    switch (check) {
        case DocVecCheck::format:
            return "unknown format";
        case DocVecCheck::header:
            return "header cannot be read";
        case DocVecCheck::magic:
            return "unknown magic number";
        case DocVecCheck::headerMark:
            return "\"?\" missing";
        case DocVecCheck::docCount:
            return "impossible document count";
        case DocVecCheck::subFileCount:
            return "impossible sub-file count";
        case DocVecCheck::subFile:
            return "sub-file cannot be opened";
        case DocVecCheck::record:
            return "record cannot be read";
        case DocVecCheck::recordIndex:
            return "record out of place";
        case DocVecCheck::entryCount:
            return "impossible entry count";
        case DocVecCheck::entry:
            return "entry cannot be read";
        case DocVecCheck::mapped:
            return "the mapped format cannot be read";
        case DocVecCheck::write:
            return "write failed";
        case DocVecCheck::stopped:
            return "reading stopped";
        case DocVecCheck::notRegular:
            return "not a regular file";
        case DocVecCheck::read:
            return "read failed";
    }
    return "error";
}

int clampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

Fid fidFromNumber(std::uint64_t number) {
    Fid fid;
    std::memcpy(fid.m_fid, &number, sizeof number);
    return fid;
}

// Locale-free printf: "%d", "%llu", "%12d" and "%f".
template <class Integer>
void appendNumber(std::string& out, Integer value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendPadded(std::string& out, int value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const size_t length = static_cast<size_t>(end - digits);
    if (length < 12)
        out.append(12 - length, ' ');
    out.append(digits, end);
}

void appendFixed(std::string& out, float value) {
    char digits[64];  // -FLT_MAX takes 47
    const auto end =
        std::to_chars(digits, digits + sizeof digits, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
    out.append(digits, end);
}

// " id:weight"
void appendEntry(std::string& out, std::uint64_t id, float weight) {
    out += ' ';
    appendNumber(out, id);
    out += ':';
    appendFixed(out, weight);
}

bool knownBinaryMagic(int magic) {
    return magic == DOCVEC_MAGIC || magic == kMagicWideIds || magic == kMagicNarrowIds || magic == kMagicShortHeader;
}

// The magic number of a text header: its fifth field, scanned as "%d%d%d%s%d".
bool scanTextMagic(std::string_view line, int& magic) {
    LineScanner fields(line);
    int number;
    std::string_view mark;
    return fields.scanInt(number) && fields.scanInt(number) && fields.scanInt(number) && fields.scanWord(mark) &&
           fields.scanInt(magic);
}

}  // namespace

DocVec::DocVec(std::string path, DocVecFormat format, bool write, std::int64_t subFileLimit)
    : m_path(std::move(path)), m_format(format), m_write(write), m_subFileLimit(subFileLimit) {
    if (format < DOCVEC_FORMAT_TEXT || format > DOCVEC_FORMAT_MAPPED)
        fail(DocVecCheck::format, format);
    if (!write) {
        openForReading();
        return;
    }
    if (m_mainOut.open(m_path))
        writeHeader(m_mainOut, Header{});
}

DocVec::~DocVec() {
    try {
        close();
    } catch (const DocVecError&) {
        // Its line is on the standard error stream; a destructor cannot throw it.
    }
}

void DocVec::fail(DocVecCheck check, long long value) {
    fail(check, value, std::string("DocVec: ") + describe(check) + " in " + m_path);
}

void DocVec::fail(DocVecCheck check, long long value, const std::string& message) {
    m_failed = true;
    std::fprintf(stderr, "%s:%d: %d\n", "docVec", static_cast<int>(check), clampToInt(value));
    throw DocVecError(check, value, message);
}

void DocVec::failShortRead(const DocVecInput& file, DocVecCheck check, long long value) {
    const int error = file.readError();
    if (error == 0)
        fail(check, value);
    const std::string path = &file == &m_sub ? subFilePath(m_subFile) : m_path;
    fail(DocVecCheck::read, error, "DocVec: " + path + " cannot be read: " + std::strerror(error));
}

bool DocVec::openInput(DocVecInput& file, const std::string& path, int flags) {
    const DocVecInput::Opened opened = file.open(path, flags);
    if (opened == DocVecInput::Opened::notRegular)
        fail(DocVecCheck::notRegular, 0, "DocVec: " + path + " is not a regular file");
    return opened == DocVecInput::Opened::yes;
}

std::string DocVec::subFilePath(int k) const {
    return m_path + ".sub" + std::to_string(k);
}

// --- Reading -------------------------------------------------------------------

void DocVec::openForReading() {
    if (m_format == DOCVEC_FORMAT_MAPPED)
        fail(DocVecCheck::mapped, m_format);
    if (!openInput(m_main, m_path))
        return;
    readMainHeader();
    if (findMissingSubFile() != 0) {
        closeReader();
        return;
    }
    checkDocCount();
}

void DocVec::closeReader() {
    m_sub.close();
    m_main.close();
    m_subFile = 0;
    m_nDocs = 0;
}

DocVec::Header DocVec::readFileHeader(DocVecInput& file) {
    Header header;
    if (m_format == DOCVEC_FORMAT_TEXT) {
        if (!file.readLine(m_text))
            failShortRead(file, DocVecCheck::header, 0);
        LineScanner fields(m_text);
        std::string_view mark;
        if (!fields.scanInt(header.nDocs) || !fields.scanInt(header.nSubFiles) || !fields.scanInt(header.firstIndex) ||
            !fields.scanWord(mark))
            fail(DocVecCheck::header, 0);
        if (mark != "?")
            fail(DocVecCheck::headerMark, 0);
        if (!fields.scanInt(header.magic))
            fail(DocVecCheck::header, 0);
        if (header.magic != DOCVEC_MAGIC && header.magic != kMagicWideIds)
            fail(DocVecCheck::magic, header.magic);
        return header;
    }
    std::int32_t magic;
    if (!file.readInt(magic))
        failShortRead(file, DocVecCheck::header, 0);
    if (!knownBinaryMagic(magic))
        fail(DocVecCheck::magic, magic);
    header.magic = magic;
    const bool complete = magic == kMagicShortHeader ? file.readInt(header.nDocs)
                                                     : file.readInt(header.nDocs) && file.readInt(header.nSubFiles) &&
                                                           file.readInt(header.firstIndex);
    if (!complete)
        failShortRead(file, DocVecCheck::header, magic);
    if (magic == kMagicWideIds || magic == kMagicNarrowIds)
        std::fprintf(stderr, "********* This file is in an old format(%d), continuing... ************\n", magic);
    else if (magic == kMagicShortHeader)
        std::fprintf(stderr, "********* This file is in an old format (%d), continuing... ************\n", magic);
    return header;
}

void DocVec::readMainHeader() {
    m_sub.close();
    m_subFile = 0;
    m_index = 0;
    m_failed = false;
    if (!m_main.rewind())
        fail(DocVecCheck::header, 0);
    if (m_format == DOCVEC_FORMAT_LINES) {
        const std::optional<std::int64_t> lines = m_main.countNewlines();
        if (!lines)
            failShortRead(m_main, DocVecCheck::header, 0);
        if (*lines > INT_MAX)
            fail(DocVecCheck::docCount, *lines);
        m_nDocs = static_cast<int>(*lines);
        m_nSubFiles = m_mainFirstIndex = 0;
        m_main.rewind();
        return;
    }
    const Header header = readFileHeader(m_main);
    if (header.nDocs < 0)
        fail(DocVecCheck::docCount, header.nDocs);
    if (header.nSubFiles < 0)
        fail(DocVecCheck::subFileCount, header.nSubFiles);
    m_magic = m_currentMagic = header.magic;
    m_nDocs = header.nDocs;
    m_nSubFiles = header.nSubFiles;
    m_mainFirstIndex = header.firstIndex;
}

int DocVec::findMissingSubFile() {
    m_setBytes = m_main.size();
    for (int k = 1; k <= m_nSubFiles; ++k) {
        DocVecInput sub;
        if (!openInput(sub, subFilePath(k)))
            return k;
        m_setBytes += sub.size();
    }
    return 0;
}

void DocVec::checkDocCount() {
    const std::int64_t smallest = binary() ? kSmallestBinaryRecord : kSmallestTextRecord;
    if (m_format != DOCVEC_FORMAT_LINES && m_nDocs > m_setBytes / smallest)
        fail(DocVecCheck::docCount, m_nDocs);
}

int DocVec::readHeader() {
    if (m_write)
        throw std::logic_error("DocVec: readHeader on a file being written");
    if (!m_main.isOpen())
        fail(DocVecCheck::header, 0);
    readMainHeader();
    if (const int missing = findMissingSubFile())
        fail(DocVecCheck::subFile, missing);
    checkDocCount();
    return m_nDocs;
}

void DocVec::openNextSubFile() {
    ++m_subFile;
    if (!openInput(m_sub, subFilePath(m_subFile)))
        fail(DocVecCheck::subFile, m_subFile);
    m_currentMagic = readFileHeader(m_sub).magic;
}

bool DocVec::atTrailer(int index) const {
    return index == m_currentMagic && m_subFile < m_nSubFiles;
}

void DocVec::checkIndex(int index) {
    if (index != static_cast<std::int64_t>(m_mainFirstIndex) + m_index)
        fail(DocVecCheck::recordIndex, index);
}

std::int64_t DocVec::readDoc(DocVecRecord& record) {
    if (m_write)
        throw std::logic_error("DocVec: readDoc on a file being written");
    if (!m_main.isOpen() || m_failed)
        fail(DocVecCheck::record, m_index);
    std::int64_t offset;
    switch (m_format) {
        case DOCVEC_FORMAT_BINARY:
            offset = readBinaryRecord(record);
            break;
        case DOCVEC_FORMAT_TEXT:
            offset = readTextRecord(record);
            break;
        default:
            offset = readLinesRecord(record);
            break;
    }
    ++m_index;
    return offset;
}

std::int64_t DocVec::readBinaryRecord(DocVecRecord& record) {
    std::int32_t index;
    for (;;) {
        const std::int64_t offset = current().offset();
        if (!current().readInt(index))
            failShortRead(current(), DocVecCheck::record, m_index);
        if (atTrailer(index)) {
            openNextSubFile();
            continue;
        }
        std::int32_t fields[3];
        if (!current().readBytes(fields, sizeof fields))
            failShortRead(current(), DocVecCheck::record, m_index);
        checkIndex(index);
        record.id = fields[0];
        record.label = fields[1];
        readBinaryEntries(fields[2], record);
        return offset;
    }
}

void DocVec::readBinaryEntries(int n, DocVecRecord& record) {
    DocVecInput& file = current();
    const size_t idBytes = m_currentMagic == DOCVEC_MAGIC || m_currentMagic == kMagicWideIds ? 8 : 4;
    if (n < 0 ||
        static_cast<std::uint64_t>(n) * (idBytes + sizeof(float)) > static_cast<std::uint64_t>(file.remaining()))
        fail(DocVecCheck::entryCount, n);
    record.entries.resize(static_cast<size_t>(n));
    if (m_currentMagic == DOCVEC_MAGIC) {
        if (!file.readBytes(record.entries.data(), record.entries.size() * kEntryBytes))
            failShortRead(file, DocVecCheck::entry, 0);
        return;
    }
    // Older layouts: all ids, then all weights.
    for (int i = 0; i < n; ++i) {
        std::uint64_t id;
        bool read;
        if (idBytes == 8) {
            read = file.readBytes(&id, sizeof id);
        } else {
            std::int32_t narrow;
            read = file.readInt(narrow);
            id = static_cast<std::uint64_t>(static_cast<std::int64_t>(narrow));
        }
        if (!read)
            failShortRead(file, DocVecCheck::entry, i);
        record.entries[static_cast<size_t>(i)].fid = fidFromNumber(id);
    }
    for (int i = 0; i < n; ++i) {
        if (!file.readBytes(&record.entries[static_cast<size_t>(i)].weight, sizeof(float)))
            failShortRead(file, DocVecCheck::entry, i);
    }
}

std::int64_t DocVec::readTextRecord(DocVecRecord& record) {
    for (;;) {
        const std::int64_t offset = current().offset();
        if (!current().readLine(m_text))
            failShortRead(current(), DocVecCheck::record, m_index);
        LineScanner fields(m_text);
        int index;
        if (!fields.scanInt(index))
            fail(DocVecCheck::record, m_index);
        if (atTrailer(index)) {
            std::string_view mark;
            if (!fields.scanWord(mark) || mark != "?")
                fail(DocVecCheck::headerMark, index);
            openNextSubFile();
            continue;
        }
        int n;
        if (!fields.scanInt(record.id) || !fields.scanInt(record.label) || !fields.scanInt(n))
            fail(DocVecCheck::record, m_index);
        checkIndex(index);
        // An entry takes at least three characters ("0:0").
        if (n < 0 || static_cast<size_t>(n) > m_text.size() / 3)
            fail(DocVecCheck::entryCount, n);
        readTextEntries(fields, n, record, 0);
        return offset;
    }
}

std::int64_t DocVec::readLinesRecord(DocVecRecord& record) {
    const std::int64_t offset = m_main.offset();
    if (!m_main.readLine(m_text))
        failShortRead(m_main, DocVecCheck::record, m_index);
    const auto n = std::count(m_text.begin(), m_text.end(), ':');
    if (n > INT_MAX)
        fail(DocVecCheck::entryCount, n);
    LineScanner fields(m_text);
    if (!fields.scanInt(record.id))
        fail(DocVecCheck::record, m_index);
    record.label = 0;
    readTextEntries(fields, static_cast<int>(n), record, 1);
    return offset;
}

void DocVec::readTextEntries(LineScanner& fields, int n, DocVecRecord& record, std::uint64_t idOffset) {
    record.entries.clear();
    record.entries.reserve(std::min<size_t>(static_cast<size_t>(n), m_text.size() / 4 + 1));
    for (int i = 0; i < n; ++i) {
        std::uint64_t id;
        char separator;
        float weight;
        if (!fields.scanUnsigned(id) || !fields.scanChar(separator) || !fields.scanFloat(weight))
            fail(DocVecCheck::entry, i);
        record.entries.push_back(DocVecI{fidFromNumber(id - idOffset), weight});
    }
    if (!fields.atEnd())
        fail(DocVecCheck::entry, n);
}

int DocVec::forEachDoc(const std::function<bool(int number, const DocVecRecord& record)>& visit) {
    readHeader();
    DocVecRecord record;
    for (int number = 0; number < m_nDocs; ++number) {
        readDoc(record);
        if (!visit(number, record))
            fail(DocVecCheck::stopped, 0);
    }
    return m_nDocs;
}

// --- Checking ------------------------------------------------------------------

int DocVec::checkMagic(DocVecInput& file) {
    int magic = 0;
    bool read;
    if (binary()) {
        read = file.readInt(magic);
    } else {
        read = file.readLine(m_text) && scanTextMagic(m_text, magic);
    }
    const char* kind = binary() ? "binary" : "text";
    if (!read && file.readError() != 0) {
        std::fprintf(stderr, "DocVec: Error reading %s file %s: %s\n", kind, m_path.c_str(),
                     std::strerror(file.readError()));
        return 2;
    }
    if (!read) {
        std::fprintf(stderr, "DocVec: Error with magic number in %s file %s \n", kind, m_path.c_str());
        return 2;
    }
    if (magic != DOCVEC_MAGIC) {
        std::fprintf(stderr, "DocVec: %s file %s in incorrect format (%d)\n", binary() ? "Binary" : "Text",
                     m_path.c_str(), magic);
        return 2;
    }
    return 0;
}

int DocVec::reopen() {
    const char* kind = binary() ? "binary" : "text";
    const char* direction = m_write ? "writing" : "reading";
    if (m_write) {
        // A check of its own: the file being written is neither truncated nor moved.
        m_mainOut.flush();
        m_subOut.flush();
        DocVecInput check;
        if (!openInput(check, m_path, O_RDWR)) {
            std::fprintf(stderr, "DocVec: Error opening file %s for %s %s\n", m_path.c_str(), kind, direction);
            return 1;
        }
        std::fprintf(stderr, "DocVec: File %s exists and opens ok\n", m_path.c_str());
        return hasHeader() ? checkMagic(check) : 0;
    }

    closeReader();
    if (!openInput(m_main, m_path)) {
        std::fprintf(stderr, "DocVec: Error opening file %s for %s %s\n", m_path.c_str(), kind, direction);
        return 1;
    }
    std::fprintf(stderr, "DocVec: File %s exists and opens ok\n", m_path.c_str());
    if (hasHeader()) {
        if (const int code = checkMagic(m_main)) {
            closeReader();
            return code;
        }
    }
    readMainHeader();
    if (m_nDocs == 0) {
        std::fprintf(stderr, "File %s has 0 documents in header\n", m_path.c_str());
        return 3;
    }
    if (const int missing = findMissingSubFile()) {
        std::fprintf(stderr, "DocVec: Error opening sub-file %s for reading\n", subFilePath(missing).c_str());
        closeReader();
        return 4;
    }
    checkDocCount();
    return 0;
}

// --- Writing -------------------------------------------------------------------

void DocVec::writeOrFail(bool written) {
    if (!written)
        fail(DocVecCheck::write, errno);
}

void DocVec::writeHeader(DocVecOutput& file, const Header& header) {
    if (!hasHeader())
        return;
    const std::int64_t at = file.offset();
    writeOrFail(file.seek(0));
    if (binary()) {
        const std::int32_t fields[4] = {header.magic, header.nDocs, header.nSubFiles, header.firstIndex};
        writeOrFail(file.writeBytes(fields, sizeof fields));
    } else {
        m_text.clear();
        appendPadded(m_text, header.nDocs);
        m_text += ' ';
        appendPadded(m_text, header.nSubFiles);
        m_text += ' ';
        appendPadded(m_text, header.firstIndex);
        m_text += " ? ";
        appendPadded(m_text, header.magic);
        m_text += '\n';
        writeOrFail(file.writeText(m_text));
    }
    if (at != 0)
        writeOrFail(file.seek(at));
}

void DocVec::writeTrailer(DocVecOutput& file) {
    if (binary()) {
        writeOrFail(file.writeInt(DOCVEC_MAGIC));
    } else {
        m_text.clear();
        appendNumber(m_text, DOCVEC_MAGIC);
        m_text += " ?\n";
        writeOrFail(file.writeText(m_text));
    }
}

DocVec::Header DocVec::subFileHeader() const {
    return Header{DOCVEC_MAGIC, m_nDocs - m_firstIndex, 0, m_firstIndex};
}

void DocVec::rollOver() {
    m_rollOver = false;
    writeTrailer(currentOut());
    if (m_subFile > 0) {
        writeHeader(m_subOut, subFileHeader());
        writeOrFail(m_subOut.close());
    }
    m_subFile = ++m_nSubFiles;
    if (!m_subOut.open(subFilePath(m_subFile)))
        fail(DocVecCheck::subFile, m_subFile);
    m_firstIndex = m_nDocs;
    writeHeader(m_subOut, subFileHeader());
}

std::int64_t DocVec::writeDoc(int id, int label, std::span<const DocVecI> entries) {
    if (!m_write)
        throw std::logic_error("DocVec: writeDoc on a file being read");
    if (!m_mainOut.isOpen() || m_failed)
        fail(DocVecCheck::write, m_index);
    if (entries.size() > INT_MAX)
        fail(DocVecCheck::entryCount, static_cast<long long>(entries.size()));
    if (m_rollOver)
        rollOver();
    DocVecOutput& file = currentOut();
    const std::int64_t offset = file.offset();
    const int n = static_cast<int>(entries.size());
    switch (m_format) {
        case DOCVEC_FORMAT_BINARY: {
            const std::int32_t fields[4] = {m_index, id, label, n};
            writeOrFail(file.writeBytes(fields, sizeof fields));
            writeOrFail(file.writeBytes(entries.data(), entries.size() * kEntryBytes));
            break;
        }
        case DOCVEC_FORMAT_TEXT:
            formatTextRecord(id, label, entries);
            break;
        case DOCVEC_FORMAT_LINES:
            formatLinesRecord(id, entries);
            break;
        default:
            formatMappedRecord(id, entries);
            break;
    }
    if (!binary())
        writeOrFail(file.writeText(m_text));
    m_nDocs = ++m_index;
    // The line formats have no header to count sub-files in: they never roll over.
    if (offset > m_subFileLimit && hasHeader())
        m_rollOver = true;
    return offset;
}

void DocVec::formatTextRecord(int id, int label, std::span<const DocVecI> entries) {
    m_text.clear();
    appendNumber(m_text, m_index);
    m_text += ' ';
    appendNumber(m_text, id);
    m_text += ' ';
    appendNumber(m_text, label);
    m_text += ' ';
    appendNumber(m_text, entries.size());
    for (const DocVecI& entry : entries)
        appendEntry(m_text, entry.fid.asNumber(), entry.weight);
    m_text += '\n';
}

void DocVec::formatLinesRecord(int id, std::span<const DocVecI> entries) {
    m_text.clear();
    appendNumber(m_text, id);
    m_text += ' ';
    for (const DocVecI& entry : entries)
        appendEntry(m_text, entry.fid.asNumber() + 1, entry.weight);
    m_text += '\n';
}

void DocVec::formatMappedRecord(int id, std::span<const DocVecI> entries) {
    m_mapped.clear();
    for (const DocVecI& entry : entries) {
        const auto [known, added] = m_numbers.try_emplace(entry.fid.asNumber(), m_lastNumber + 1);
        if (added)
            ++m_lastNumber;
        m_mapped.emplace_back(known->second, entry.weight);
    }
    std::stable_sort(m_mapped.begin(), m_mapped.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_text.clear();
    appendNumber(m_text, id);
    m_text += ' ';
    for (const auto& [number, weight] : m_mapped)
        appendEntry(m_text, number, weight);
    m_text += '\n';
}

void DocVec::close() {
    m_numbers.clear();
    m_lastNumber = 0;
    if (!m_write) {
        closeReader();
        return;
    }
    if (!m_mainOut.isOpen())
        return;
    if (m_failed) {
        m_subOut.close();
        m_mainOut.close();
        return;
    }
    try {
        if (m_subOut.isOpen()) {
            writeHeader(m_subOut, subFileHeader());
            writeTrailer(m_subOut);
            writeOrFail(m_subOut.close());
        }
        writeHeader(m_mainOut, Header{DOCVEC_MAGIC, m_nDocs, m_nSubFiles, 0});
        writeOrFail(m_mainOut.close());
    } catch (const DocVecError&) {
        m_subOut.close();
        m_mainOut.close();
        throw;
    }
}

}  // namespace ovix
