#include "features/TidyDocument.h"

#include <tidy/tidy.h>

#include <new>
#include <stdexcept>
#include <utility>

namespace ovix {
namespace {

// A sink that drops every byte; static, in case the library keeps its address.
// tidyInitSink refuses null sink data, so the sink is its own.
TidyOutputSink* silence() {
    static TidyOutputSink sink;
    [[maybe_unused]] static const bool ready = tidyInitSink(&sink, &sink, [](void*, byte) {});
    return &sink;
}

// The page being saved. No exception may cross the library's C frames: a
// failed allocation is kept for after the save.
struct SavedPage {
    std::string bytes;
    bool outOfMemory = false;
};

void appendByte(void* page, byte value) {
    auto* saved = static_cast<SavedPage*>(page);
    if (saved->outOfMemory)
        return;
    try {
        saved->bytes.push_back(static_cast<char>(value));
    } catch (const std::bad_alloc&) {
        saved->outOfMemory = true;
    }
}

}  // namespace

TidyDocument::TidyDocument() : m_document(tidyCreate()) {
    if (!m_document)
        throw std::bad_alloc();
    // Without a sink of its own the library prints its reports, an unknown
    // option among them, on the standard error stream.
    tidySetErrorSink(m_document, silence());
}

TidyDocument::~TidyDocument() {
    tidyRelease(m_document);
}

void TidyDocument::setOption(const char* name, const char* value) {
    if (!tidyOptParseValue(m_document, name, value))
        throw std::runtime_error("key/value not recognized");
}

std::string TidyDocument::cleanup(const char* html) {
    if (tidyParseString(m_document, html) < 0)
        throw std::runtime_error("parse error");
    if (tidyCleanAndRepair(m_document) < 0)
        throw std::runtime_error("clean error");
    SavedPage page;
    TidyOutputSink sink;
    tidyInitSink(&sink, &page, appendByte);
    tidySaveSink(m_document, &sink);
    if (page.outOfMemory)
        throw std::bad_alloc();
    return std::move(page.bytes);
}

}  // namespace ovix
