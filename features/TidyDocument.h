#pragma once
// HTML Tidy with its options: options set by name, then any number of
// cleanups, each parsing a page, repairing it and handing back the repaired
// page. The library's diagnostics are dropped. Every cleanup runs in a
// document of its own, on a thread of its own with a large stack, within the
// bounds of a BoundedTidyAllocator: a page that would make the library nest
// too deep or hold too much memory is refused, whatever the caller's stack.
// Options are set by one thread at a time; cleanups may run on several
// threads at once.

#include <string>

struct _TidyDoc;  // libtidy's own opaque document type

namespace ovix {

class TidyDocument {
public:
    TidyDocument();
    ~TidyDocument();
    TidyDocument(const TidyDocument&) = delete;
    TidyDocument& operator=(const TidyDocument&) = delete;

    // Sets an HTML Tidy option from its text form; throws "key/value not
    // recognized" when the library knows no such option or refuses the value.
    void setOption(const char* name, const char* value);

    // Parses the NUL-terminated page and repairs it; returns the repaired
    // page. Throws "page nested too deeply to clean" or "page too large to
    // clean" when the library passes its bounds, std::bad_alloc when memory
    // runs out, and "parse error" or "clean error" when the library gives up.
    std::string cleanup(const char* html) const;

private:
    const _TidyDoc* m_options;  // a document that holds the options and parses nothing
};

}  // namespace ovix
