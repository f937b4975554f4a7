#pragma once
// One HTML Tidy document: options set by name, then any number of cleanups,
// each parsing a page, repairing it and handing back the repaired page. The
// library's diagnostics are dropped. A TidyDocument is used by one thread at a
// time; different documents may work on different threads at once.

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

    // Parses the NUL-terminated page and repairs it: throws "parse error" or
    // "clean error" when the library gives up. Returns the repaired page.
    std::string cleanup(const char* html);

private:
    const _TidyDoc* m_document;
};

}  // namespace ovix
