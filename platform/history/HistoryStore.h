#pragma once
// One history store read as one committed state of it, or not at all. How
// depends on what the store holds as the read begins (HistoryStoreWatch):
//   - neither log content nor a hot journal: the database in place, opened
//     immutable (no lock; the log and the journal unread);
//   - log content: the log copied (BrowserHistorySnapshot) and read with the
//     database in place;
//   - a hot journal (a write cut short): the database, its log and its
//     journal copied, and the journal rolled back in the copy. A copy that
//     sqlite finds corrupt gives way to the database in place, when it has no
//     log content.
// A copy counts only when none of the files copied changed from the start
// until it was taken, and rows read in place only when the database did not
// change from the start until the last was read. A read that a change spoils
// is dropped from the sink and made again, five times at most.
//
// Thread safety: calls may run on several threads at once, each with its own
// sink.

#include <string>

#include "base/UniqueFd.h"
#include "platform/history/BrowserHistorySnapshot.h"
#include "platform/history/BrowserVisitSink.h"
#include "platform/history/HistoryDatabase.h"

namespace ovix {

struct HistoryStore {
    UniqueFd folder;   // the folder holding the database (O_PATH); none when it cannot be read
    std::string name;  // the database's name in it
    const HistoryQuery* query;
};

// Hands the store's rows to `sink`; false, with nothing handed on, when it
// cannot be read.
bool readHistoryStore(const HistoryStore& store, const SnapshotFolders& folders, BrowserVisitSink& sink,
                      const CopyObserver& afterCopy);

}  // namespace ovix
