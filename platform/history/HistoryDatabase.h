#pragma once
// One history database read with sqlite, its rows handed to a sink a slice at
// a time. sqlite takes each name exactly as written (a "/proc/self/fd/N/db"
// name reaches the files of that descriptor's folder, never the path the link
// stands for), locks no file, and keeps a write-ahead log's index in memory
// (no "-shm" file); nothing of a log is moved into its database at close.
//
// The database itself may be read from a descriptor instead of its name
// (DatabaseName::descriptor): read-only, and left as it is, while sqlite looks
// for its log and journal beside the name.
//
// Thread safety: calls may run on several threads at once.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/history/BrowserVisitSink.h"

namespace ovix {

struct HistoryQuery {
    const char* sql;  // the URL and the last-visit time, in the store's order
    // The visit's seconds since 1970 from its stored time; nullopt skips it.
    std::optional<std::int64_t> (*seconds)(std::int64_t time);
};

enum class QueryOutcome {
    Read,             // every row
    CutByCorruption,  // the rows before a corrupt page
    NoTable,          // no such table or column
    Corrupt,          // not a database, or its schema is corrupt
    Unreadable,       // cannot be opened or read for another reason
};

struct DatabaseName {
    std::string path;        // absolute, with no "%", "?" or "#"
    int descriptor = -1;     // when not -1, the database's own bytes, read-only
    bool immutable = false;  // the database alone, as it stands: no log, no journal
};

// Opens `database`, read-write when `writable` (so that sqlite may roll a
// journal back), and hands the rows of `query` that have a URL and an
// integer time to `sink`. The rows handed on are all the store gave only when
// the outcome is Read or CutByCorruption.
QueryOutcome queryHistory(const DatabaseName& database, bool writable, const HistoryQuery& query,
                          BrowserVisitSink& sink);

}  // namespace ovix
