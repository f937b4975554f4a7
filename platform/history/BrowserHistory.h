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
// 100-nanosecond intervals since 1601 are skipped. A database reached twice
// (a profile folder and a link to it) is read once, where it comes first.
//
// A running browser holds its database locked and keeps its newest visits in
// its write-ahead log, and writes both while they are read. Each store is read
// as one committed state of it (HistoryStore.h) or not at all; nothing is
// written, locked or made beside the original, and no copy outlives the call.
// A store that cannot be read that way, that lacks the table, or whose profile
// folder cannot be entered, is skipped.
//
// Thread safety: calls may run on several threads at once.

#include "platform/history/BrowserHistorySnapshot.h"
#include "platform/history/BrowserVisitSink.h"

namespace ovix {

// Hands every store's visits to `sink`, in order; false when stores were
// found and none could be read. `afterCopy` is a test's seam.
bool readBrowserHistory(BrowserVisitSink& sink, const CopyObserver& afterCopy = {});

}  // namespace ovix
