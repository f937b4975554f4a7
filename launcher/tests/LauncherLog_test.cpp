#include "launcher/LauncherLog.h"

#include <gtest/gtest.h>

#include "compat/system/ExclusiveAppendFile.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

TEST(LauncherLog, WritesFormattedLinesAndRetriesWhileShutOut) {
    ovix::testing::ScratchFolder folder;
    const auto path = folder / "MorvaneLaunch.log";
    LauncherLog log(path);
    {
        auto other = compat::ExclusiveAppendFile::open(path);
        ASSERT_TRUE(other);
        log.write("no process to kill\n");
        other->append("other writer\n");
    }
    log.write("killed proc %d handle %p memory usage %d\n", 1234, static_cast<void*>(nullptr), 104857601);
    log.write("get process memory info handle error=%x, %s\n", 0x5, "Access is denied.");
    EXPECT_EQ(ovix::testing::readFile(path),
              "other writer\n"
              "killed proc 1234 handle (nil) memory usage 104857601\n"
              "get process memory info handle error=5, Access is denied.\n");
    // While the launcher has it, nobody else writes.
    EXPECT_FALSE(compat::ExclusiveAppendFile::open(path));
}

}  // namespace

}  // namespace ovix
