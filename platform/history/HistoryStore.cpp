#include "platform/history/HistoryStore.h"

#include <fcntl.h>

#include "base/RegularFile.h"
#include "platform/history/HistoryStoreWatch.h"

namespace ovix {

namespace {

constexpr int kAttempts = 5;

enum class Attempt { Read, Failed, Changed };

bool isCorrupt(QueryOutcome outcome) {
    return outcome == QueryOutcome::Corrupt || outcome == QueryOutcome::CutByCorruption;
}

Attempt verdictOf(QueryOutcome outcome) {
    return outcome == QueryOutcome::Read || outcome == QueryOutcome::CutByCorruption ? Attempt::Read : Attempt::Failed;
}

Attempt attemptRead(const HistoryStore& store, const SnapshotFolders& folders, BrowserVisitSink& sink, std::size_t mark,
                    const CopyObserver& afterCopy) {
    using Content = BrowserHistorySnapshot::Content;
    HistoryStoreWatch watch(store.folder.get(), store.name);
    // The database that sqlite reads in place, the one watched.
    const RegularFile database = openRegularFileAt(store.folder.get(), store.name.c_str(), O_RDONLY);
    if (!database.fd)
        return Attempt::Failed;
    if (!watch.isDatabase(database.fd.get()))
        return Attempt::Changed;
    BrowserHistorySnapshot snapshot;
    if (watch.journalIsHot() || watch.logHasContent()) {
        const Content content = watch.journalIsHot() ? Content::Whole : Content::Log;
        const bool taken = snapshot.take(folders, store.folder.get(), store.name, content, afterCopy);
        if (watch.anyChanged())
            return Attempt::Changed;
        if (!taken)
            return Attempt::Failed;
        if (content == Content::Log) {
            // The database in place, beside the copied log.
            const DatabaseName withCopiedLog{snapshot.database(), database.fd.get()};
            const QueryOutcome outcome = queryHistory(withCopiedLog, false, *store.query, sink);
            return watch.databaseChanged() ? Attempt::Changed : verdictOf(outcome);
        }
        // Read-write, for sqlite to roll the journal back in the copy.
        const QueryOutcome outcome = queryHistory({snapshot.database()}, true, *store.query, sink);
        if (!isCorrupt(outcome) || watch.logHasContent())
            return verdictOf(outcome);
        sink.truncate(mark);
    }
    const DatabaseName inPlace{"/proc/self/fd/" + std::to_string(database.fd.get()), database.fd.get(), true};
    const QueryOutcome outcome = queryHistory(inPlace, false, *store.query, sink);
    return watch.databaseChanged() ? Attempt::Changed : verdictOf(outcome);
}

}  // namespace

bool readHistoryStore(const HistoryStore& store, const SnapshotFolders& folders, BrowserVisitSink& sink,
                      const CopyObserver& afterCopy) {
    const std::size_t mark = sink.size();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const Attempt result = attemptRead(store, folders, sink, mark, afterCopy);
        if (result == Attempt::Read)
            return true;
        sink.truncate(mark);
        if (result == Attempt::Failed)
            return false;
    }
    return false;
}

}  // namespace ovix
