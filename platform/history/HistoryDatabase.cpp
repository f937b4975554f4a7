#include "platform/history/HistoryDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/FdIo.h"

namespace ovix {

namespace {

// A database's bytes from a descriptor: read-only, and without locks.
struct DescriptorFile {
    sqlite3_file file;  // first, as sqlite sees it
    int fd;
};

int descriptorOf(sqlite3_file* file) {
    return reinterpret_cast<DescriptorFile*>(file)->fd;
}

int closeDescriptor(sqlite3_file* file) {
    ::close(descriptorOf(file));
    return SQLITE_OK;
}

int readDescriptor(sqlite3_file* file, void* to, int amount, sqlite3_int64 offset) {
    const auto size = static_cast<std::size_t>(amount);
    const ReadResult got = readUpToAt(descriptorOf(file), static_cast<char*>(to), size, static_cast<off_t>(offset));
    if (got.error != 0)
        return SQLITE_IOERR_READ;
    if (got.count == size)
        return SQLITE_OK;
    // Past the end: zeros, as sqlite expects.
    std::memset(static_cast<char*>(to) + got.count, 0, size - got.count);
    return SQLITE_IOERR_SHORT_READ;
}

int refuseWrite(sqlite3_file*, const void*, int, sqlite3_int64) {
    return SQLITE_READONLY;
}

int refuseTruncate(sqlite3_file*, sqlite3_int64) {
    return SQLITE_READONLY;
}

int syncNothing(sqlite3_file*, int) {
    return SQLITE_OK;
}

int sizeOfDescriptor(sqlite3_file* file, sqlite3_int64* size) {
    struct stat info;
    if (fstat(descriptorOf(file), &info) != 0)
        return SQLITE_IOERR_FSTAT;
    *size = info.st_size;
    return SQLITE_OK;
}

int lockNothing(sqlite3_file*, int) {
    return SQLITE_OK;
}

int noReservedLock(sqlite3_file*, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}

int noFileControl(sqlite3_file*, int, void*) {
    return SQLITE_NOTFOUND;
}

int sectorSize(sqlite3_file*) {
    return 4096;
}

int noCharacteristics(sqlite3_file*) {
    return 0;
}

// Version 1: no shared memory (a log's index stays in the connection) and no
// mapping.
constexpr sqlite3_io_methods kDescriptorMethods = {
    .iVersion = 1,
    .xClose = closeDescriptor,
    .xRead = readDescriptor,
    .xWrite = refuseWrite,
    .xTruncate = refuseTruncate,
    .xSync = syncNothing,
    .xFileSize = sizeOfDescriptor,
    .xLock = lockNothing,
    .xUnlock = lockNothing,
    .xCheckReservedLock = noReservedLock,
    .xFileControl = noFileControl,
    .xSectorSize = sectorSize,
    .xDeviceCharacteristics = noCharacteristics,
    .xShmMap = nullptr,
    .xShmLock = nullptr,
    .xShmBarrier = nullptr,
    .xShmUnmap = nullptr,
    .xFetch = nullptr,
    .xUnfetch = nullptr,
};

sqlite3_vfs* unlockedVfs() {
    static sqlite3_vfs* const vfs = sqlite3_vfs_find("unix-none");
    return vfs;
}

// The main database from the descriptor named by the "database" parameter,
// when there is one; every other file by sqlite's own lock-free files.
int openFile(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    const sqlite3_int64 database = name && (flags & SQLITE_OPEN_MAIN_DB) ? sqlite3_uri_int64(name, "database", -1) : -1;
    if (database < 0)
        return unlockedVfs()->xOpen(unlockedVfs(), name, file, flags, outFlags);
    file->pMethods = nullptr;
    if (flags & SQLITE_OPEN_READWRITE)
        return SQLITE_READONLY;
    const int fd = fcntl(static_cast<int>(database), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return SQLITE_CANTOPEN;
    reinterpret_cast<DescriptorFile*>(file)->fd = fd;
    file->pMethods = &kDescriptorMethods;
    if (outFlags)
        *outFlags = flags;
    return SQLITE_OK;
}

// sqlite's own resolves every link in a name, which would turn
// "/proc/self/fd/N/db" back into the path that the descriptor was opened by.
int nameAsWritten(sqlite3_vfs*, const char* name, int size, char* out) {
    const std::size_t length = std::strlen(name);
    if (name[0] != '/' || length >= static_cast<std::size_t>(size))
        return SQLITE_CANTOPEN;
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

// Registered once, never the default; null when sqlite has no "unix-none".
const char* historyVfs() {
    static const char* const name = []() -> const char* {
        static sqlite3_vfs vfs;
        if (!unlockedVfs())
            return nullptr;
        vfs = *unlockedVfs();
        vfs.szOsFile = std::max(vfs.szOsFile, static_cast<int>(sizeof(DescriptorFile)));
        vfs.pNext = nullptr;
        vfs.zName = "ovix-history";
        vfs.xOpen = openFile;
        vfs.xFullPathname = nameAsWritten;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK ? vfs.zName : nullptr;
    }();
    return name;
}

std::string uriOf(const DatabaseName& database) {
    std::string uri = "file:" + database.path;
    char separator = '?';
    if (database.descriptor >= 0) {
        uri += separator + std::string("database=") + std::to_string(database.descriptor);
        separator = '&';
    }
    if (database.immutable)
        uri += separator + std::string("immutable=1");
    return uri;
}

bool isCorruption(int code) {
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

}  // namespace

QueryOutcome queryHistory(const DatabaseName& database, bool writable, const HistoryQuery& query,
                          BrowserVisitSink& sink) {
    const char* vfs = historyVfs();
    if (!vfs)
        return QueryOutcome::Unreadable;
    sqlite3* openedDb = nullptr;
    const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_URI;
    const int opened = sqlite3_open_v2(uriOf(database).c_str(), &openedDb, flags, vfs);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(openedDb, sqlite3_close);
    if (opened != SQLITE_OK)
        return isCorruption(opened) ? QueryOutcome::Corrupt : QueryOutcome::Unreadable;
    // Exclusive locking mode keeps a log's index in memory; the files take no
    // lock whatever the mode.
    if (sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) != SQLITE_OK ||
        sqlite3_exec(db.get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return QueryOutcome::Unreadable;
    sqlite3_stmt* preparedStatement = nullptr;
    const int prepared = sqlite3_prepare_v2(db.get(), query.sql, -1, &preparedStatement, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(preparedStatement, sqlite3_finalize);
    if (prepared != SQLITE_OK) {
        const QueryOutcome failure = prepared == SQLITE_ERROR ? QueryOutcome::NoTable : QueryOutcome::Unreadable;
        return isCorruption(prepared) ? QueryOutcome::Corrupt : failure;
    }
    BrowserVisitSlice slice;
    int stepped;
    while ((stepped = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (sqlite3_column_type(statement.get(), 1) != SQLITE_INTEGER)
            continue;
        const auto seconds = query.seconds(sqlite3_column_int64(statement.get(), 1));
        const auto* url = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
        const int urlBytes = sqlite3_column_bytes(statement.get(), 0);
        if (!seconds || !url || urlBytes <= 0)
            continue;
        slice.add({url, static_cast<std::size_t>(urlBytes)}, *seconds);
        if (slice.full()) {
            sink.add(slice);
            slice.clear();
        }
    }
    if (stepped != SQLITE_DONE && !isCorruption(stepped))
        return QueryOutcome::Unreadable;
    if (!slice.empty())
        sink.add(slice);
    return stepped == SQLITE_DONE ? QueryOutcome::Read : QueryOutcome::CutByCorruption;
}

}  // namespace ovix
