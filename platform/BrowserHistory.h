#pragma once
// The user's browser history, from the sqlite history databases of the common
// browsers, in this order, each store read whole before the next:
//   1. $HOME/.mozilla/firefox/<profile>/places.sqlite: moz_places rows with a
//      last_visit_date (microseconds since 1970-01-01 UTC), by id;
//   2. $XDG_CONFIG_HOME/chromium/<profile>/History, then the same under
//      google-chrome: urls rows with a last_visit_time above 0 (microseconds
//      since 1601-01-01 UTC), by id;
// profiles in byte order of their folder names. Rows without a URL, with a
// time that is not an integer, or with a time beyond the 64-bit range of
// 100-nanosecond intervals since 1601 are skipped.
//
// A running browser holds its database locked and keeps its newest visits in
// the write-ahead log, so each store is read from a private snapshot
// (BrowserHistorySnapshot); nothing is written, locked or made beside the
// original. A store that cannot be read, or lacks the table, is skipped.
//
// Thread safety: calls may run on several threads at once.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovix {

struct BrowserVisit {
    std::string url;       // as the browser stored it: UTF-8, not checked
    std::int64_t seconds;  // the last visit, in whole seconds since 1970-01-01 UTC
};

// Every store's visits; nullopt when stores were found and none could be read.
std::optional<std::vector<BrowserVisit>> readBrowserHistory();

}  // namespace ovix
