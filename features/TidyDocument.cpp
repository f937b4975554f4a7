#include "features/TidyDocument.h"

#include <tidy/tidy.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/RunOnOwnStack.h"
#include "features/BoundedTidyAllocator.h"

namespace ovix {
namespace {

// The bounds of a cleanup. The library's frames take a few hundred bytes a
// level of nesting: a page nested a few thousand deep, far beyond any real
// page, stays well within the stack bound, and the library's time, which grows
// with the square of the depth, within seconds. Every pass after the parse
// recurses no deeper than the parse, with room on the thread's stack. The
// memory bound leaves a real page many times what the library holds for it.
constexpr std::size_t kParseStack = std::size_t{512} << 10;
constexpr std::size_t kThreadStack = std::size_t{64} << 20;
constexpr std::size_t kMemoryBase = std::size_t{64} << 20;
constexpr std::size_t kMemoryPerPageByte = 64;

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

enum class Failure { none, parse, clean };

struct Cleanup {
    const _TidyDoc* options;
    const char* html;
    TidyOutputSink* sink;
    TidyOutputSink* reports;
    Failure failure;
};

// The work the allocator bounds: plain data and the library's objects only,
// since it may be abandoned anywhere.
void clean(void* context, TidyAllocator* allocator) {
    auto* cleanup = static_cast<Cleanup*>(context);
    const TidyDoc document = tidyCreateWithAllocator(allocator);
    tidySetErrorSink(document, cleanup->reports);
    tidyOptCopyConfig(document, cleanup->options);
    if (tidyParseString(document, cleanup->html) < 0)
        cleanup->failure = Failure::parse;
    else if (tidyCleanAndRepair(document) < 0)
        cleanup->failure = Failure::clean;
    else
        tidySaveSink(document, cleanup->sink);
    tidyRelease(document);
}

}  // namespace

TidyDocument::TidyDocument() : m_options(tidyCreate()) {
    if (!m_options)
        throw std::bad_alloc();
    // Without a sink of its own the library prints its reports, an unknown
    // option among them, on the standard error stream.
    tidySetErrorSink(m_options, silence());
}

TidyDocument::~TidyDocument() {
    tidyRelease(m_options);
}

void TidyDocument::setOption(const char* name, const char* value) {
    if (!tidyOptParseValue(m_options, name, value))
        throw std::runtime_error("key/value not recognized");
}

std::string TidyDocument::cleanup(const char* html) const {
    SavedPage page;
    TidyOutputSink sink;
    tidyInitSink(&sink, &page, appendByte);
    Cleanup cleanup{m_options, html, &sink, silence(), Failure::none};
    auto outcome = BoundedTidyAllocator::Outcome::done;
    runOnOwnStack(kThreadStack, [&] {
        BoundedTidyAllocator allocator(kMemoryBase + kMemoryPerPageByte * std::strlen(html), kParseStack);
        outcome = allocator.run(clean, &cleanup);
    });
    switch (outcome) {
    case BoundedTidyAllocator::Outcome::done:
        break;
    case BoundedTidyAllocator::Outcome::tooDeep:
        throw std::runtime_error("page nested too deeply to clean");
    case BoundedTidyAllocator::Outcome::tooLarge:
        throw std::runtime_error("page too large to clean");
    case BoundedTidyAllocator::Outcome::outOfMemory:
        throw std::bad_alloc();
    case BoundedTidyAllocator::Outcome::libraryFailure:
        throw std::runtime_error("clean error");
    }
    if (cleanup.failure == Failure::parse)
        throw std::runtime_error("parse error");
    if (cleanup.failure == Failure::clean)
        throw std::runtime_error("clean error");
    if (page.outOfMemory)
        throw std::bad_alloc();
    return std::move(page.bytes);
}

}  // namespace ovix
