// LaPlacian's graph files: a text list of weighted edges, or a document-vector
// file with one record per row.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/FormatFixed.h"
#include "features/DocVec.h"
#include "features/DocVecInput.h"
#include "features/DocVecOutput.h"
#include "features/LineScanner.h"
#include "sgt/LaPlacian.h"
#include "sgt/MatrixFileColumns.h"

namespace ovix {

namespace {

constexpr std::size_t kWriteChunk = 1 << 16;
// The text form spends no byte on an empty row, but the reader spends a row
// map on it: beyond this many, a row count is held to the file's size.
constexpr std::int64_t kRowsFreeOfBytes = 4096;

[[noreturn]] void fail(const char* path, const std::string& problem) {
    throw std::runtime_error(std::string("graph file ") + path + ": " + problem);
}

const char* checkedPath(const char* path) {
    if (!path)
        throw std::runtime_error("graph file without a name");
    return path;
}

void checkHasRows(bool hasRows, const char* path) {
    if (!hasRows)
        fail(path, "the graph has no rows to write");
}

// The whole of a regular file, as many bytes as it held when it was opened.
std::string readWholeFile(const char* path) {
    DocVecInput file;
    const DocVecInput::Opened opened = file.open(path);
    if (opened == DocVecInput::Opened::notRegular)
        fail(path, "is not a regular file");
    if (opened == DocVecInput::Opened::no)
        fail(path, std::string("cannot be opened: ") + std::strerror(errno));
    std::string text(static_cast<std::size_t>(file.size()), '\0');
    if (!file.readBytes(text.data(), text.size()))
        fail(path, file.readError() != 0 ? std::string("cannot be read: ") + std::strerror(file.readError())
                                         : std::string("cannot be read"));
    return text;
}

// A whole field of decimal digits, optionally signed, as a 64-bit number.
bool scanCount(LineScanner& fields, long long& value) {
    std::string_view word;
    if (!fields.scanWord(word))
        return false;
    const char* from = word.data() + (word.front() == '+' ? 1 : 0);
    const auto [next, error] = std::from_chars(from, word.data() + word.size(), value);
    return error == std::errc() && next == word.data() + word.size();
}

// A row or column number of the text form, 1 to n.
int scanNode(LineScanner& fields, const char* path, long long entry, const char* what, int n) {
    int node = 0;
    if (!fields.scanInt(node))
        fail(path, fields.atEnd() ? "ends after " + std::to_string(entry) + " entries"
                                  : "entry " + std::to_string(entry + 1) + " has no " + what + " number");
    if (node < 1 || node > n)
        fail(path, "entry " + std::to_string(entry + 1) + " has the " + what + " " + std::to_string(node) +
                       ", outside 1.." + std::to_string(n));
    return node;
}

}  // namespace

template <class T>
int LaPlacian<T>::writeGraphText(const char* path) const {
    checkedPath(path);
    checkHasRows(hasRows(), path);
    DocVecOutput file;
    if (!file.open(path))
        fail(path, std::string("cannot be created: ") + std::strerror(errno));

    std::size_t entries = 0;
    for (int i = 0; i < this->m_rows; ++i)
        entries += m_rowMaps[static_cast<std::size_t>(i)].size();
    std::string text = std::to_string(this->m_rows) + '\n' + std::to_string(entries) + '\n';
    bool written = true;
    const auto flush = [&] {
        written = written && file.writeText(text);
        text.clear();
    };
    for (int i = 0; i < this->m_rows; ++i) {
        for (const auto& [j, w] : m_rowMaps[static_cast<std::size_t>(i)]) {
            appendInt(text, i + 1);
            text += ' ';
            appendInt(text, j + 1);
            text += ' ';
            appendFixed(text, w, 6);
            text += '\n';
        }
        if (text.size() >= kWriteChunk)
            flush();
    }
    flush();
    if (!file.close() || !written)
        fail(path, "cannot be written");
    return 1;
}

template <class T>
int LaPlacian<T>::readGraphText(const char* path) {
    const std::string text = readWholeFile(checkedPath(path));
    LineScanner fields(text);
    int n = 0;
    if (!fields.scanInt(n))
        fail(path, fields.atEnd() ? "is empty" : "does not begin with a row count");
    if (n < 0)
        fail(path, "has a negative row count " + std::to_string(n));
    const auto bytes = static_cast<std::int64_t>(text.size());
    if (n > std::max(bytes, kRowsFreeOfBytes))
        fail(path, "has the row count " + std::to_string(n) + ", more than a file of " + std::to_string(bytes) +
                       " bytes can hold");
    long long entries = 0;
    if (!scanCount(fields, entries))
        fail(path, "has no entry count");
    if (entries < 0)
        fail(path, "has a negative entry count " + std::to_string(entries));

    auto rows = std::make_unique<Row[]>(static_cast<std::size_t>(n));
    for (long long e = 0; e < entries; ++e) {
        const int i = scanNode(fields, path, e, "row", n);
        const int j = scanNode(fields, path, e, "column", n);
        float weight = 0;
        if (!fields.scanFloat(weight))
            fail(path, fields.atEnd() ? "ends after " + std::to_string(e) + " entries"
                                      : "entry " + std::to_string(e + 1) + " has no weight");
        const T v = static_cast<T>(std::fabs(weight));
        Row& r = rows[static_cast<std::size_t>(i - 1)];
        if (v != 0)
            r.insert_or_assign(j - 1, v);
        else
            r.erase(j - 1);
    }
    adoptRows(std::move(rows), n);
    return 1;
}

template <class T>
int LaPlacian<T>::writeGraphDocVec(const char* path, int format, std::span<const int> labels) const {
    checkedPath(path);
    checkHasRows(hasRows(), path);
    DocVec file(path, static_cast<DocVecFormat>(format), true);
    if (!file.isOpen())
        fail(path, "cannot be created");
    std::vector<DocVecI> entries;
    for (int i = 0; i < this->m_rows; ++i) {
        entries.clear();
        for (const auto& [j, w] : m_rowMaps[static_cast<std::size_t>(i)])
            entries.push_back(DocVecI{fidOfColumn(static_cast<std::uint64_t>(j)), static_cast<float>(w)});
        const int label = static_cast<std::size_t>(i) < labels.size() ? labels[static_cast<std::size_t>(i)] : 0;
        file.writeDoc(i, label, entries);
    }
    file.close();
    return 1;
}

template <class T>
int LaPlacian<T>::readGraphDocVec(const char* path, int format, std::vector<int>* labels) {
    DocVec file(checkedPath(path), static_cast<DocVecFormat>(format), false);
    if (!file.isOpen())
        fail(path, "cannot be opened");
    const int n = file.nDocs();
    auto rows = std::make_unique<Row[]>(static_cast<std::size_t>(n));
    std::vector<int> rowLabels(static_cast<std::size_t>(n));
    const auto refuse = [&](const std::string& problem) { fail(path, problem); };
    DocVecRecord record;
    for (int i = 0; i < n; ++i) {
        file.readDoc(record);
        rowLabels[static_cast<std::size_t>(i)] = record.label;
        Row& r = rows[static_cast<std::size_t>(i)];
        for (const DocVecI& entry : record.entries) {
            const int column = columnOf(entry, i, n, refuse);
            const T v = static_cast<T>(entry.weight);
            if (v != 0)
                r.insert_or_assign(column, v);
            else
                r.erase(column);
        }
    }
    file.close();
    adoptRows(std::move(rows), n);
    if (labels)
        *labels = std::move(rowLabels);
    return n;
}

template int LaPlacian<float>::writeGraphText(const char*) const;
template int LaPlacian<double>::writeGraphText(const char*) const;
template int LaPlacian<float>::readGraphText(const char*);
template int LaPlacian<double>::readGraphText(const char*);
template int LaPlacian<float>::writeGraphDocVec(const char*, int, std::span<const int>) const;
template int LaPlacian<double>::writeGraphDocVec(const char*, int, std::span<const int>) const;
template int LaPlacian<float>::readGraphDocVec(const char*, int, std::vector<int>*);
template int LaPlacian<double>::readGraphDocVec(const char*, int, std::vector<int>*);

}  // namespace ovix
