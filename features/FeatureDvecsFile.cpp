#include "features/FeatureDvecsFile.h"

#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ovix {

namespace {

constexpr const char* kClosed = "file is closed";

DocVecFormat docVecFormat(FeatureDvecsFileFormat format) {
    switch (format) {
        case FEATURE_DVECS_FILE_FORMAT_BINARY:
            return DOCVEC_FORMAT_BINARY;
        case FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED:
            return DOCVEC_FORMAT_MAPPED;
    }
    throw std::runtime_error("unknown format");
}

}  // namespace

FeatureDvecsFile::FeatureDvecsFile(std::string path, FeatureDvecsFileFormat format)
    : m_path(std::move(path)), m_format(docVecFormat(format)) {
    open();
}

void FeatureDvecsFile::open() {
    auto writer = std::make_unique<DocVec>(m_path, m_format, true);
    if (!writer->isOpen())
        throw std::runtime_error("file creation error");
    m_writer = std::move(writer);
}

void FeatureDvecsFile::reset() {
    if (m_writer) {
        try {
            close();
        } catch (const DocVecError&) {
            // The file is closed all the same, and deleted now.
        }
    }
    std::remove(m_path.c_str());
    open();
}

void FeatureDvecsFile::addFeatures(int id, int label, const HoldBytes& dvir) {
    if (!m_writer)
        throw std::runtime_error(kClosed);
    const std::unique_ptr<HeldBytes> held = dvir();
    std::vector<DocVecI> copy;
    m_writer->writeDoc(id, label, alignedEntries(held->bytes(), copy));
}

void FeatureDvecsFile::close() {
    if (!m_writer)
        throw std::runtime_error(kClosed);
    const std::unique_ptr<DocVec> writer = std::move(m_writer);
    writer->close();
}

}  // namespace ovix
