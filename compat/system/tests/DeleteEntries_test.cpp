#include "compat/system/DeleteEntries.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(DeleteEntries, MatchingEntriesGoWholeAndNoLinkIsFollowed) {
    ovix::testing::ScratchFolder scratch;
    const auto folder = scratch / "tmp";
    const auto outside = scratch / "outside";
    fs::create_directories(folder / "winyTree" / "a" / "b");
    fs::create_directories(outside / "kept");
    std::ofstream(outside / "kept" / "file") << "x";
    std::ofstream(folder / "winyTree" / "a" / "b" / "file") << "x";
    // Links inside a matching folder and at the top, to a folder and a file.
    fs::create_directory_symlink(outside / "kept", folder / "winyTree" / "a" / "toOutside");
    fs::create_directory_symlink(outside, folder / "WinyLink");
    fs::create_symlink(outside / "kept" / "file", folder / "winyFileLink");
    std::ofstream(folder / "WINY") << "x";
    std::ofstream(folder / "win") << "x";
    std::ofstream(folder / "awiny") << "x";

    EXPECT_EQ(compat::deleteOwnEntriesWithPrefix(folder, "winy"), 4u);
    for (const char* gone : {"winyTree", "WinyLink", "winyFileLink", "WINY"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(folder / gone))) << gone;
    EXPECT_TRUE(fs::exists(folder / "win"));
    EXPECT_TRUE(fs::exists(folder / "awiny"));
    EXPECT_TRUE(fs::exists(outside / "kept" / "file"));
    EXPECT_EQ(compat::deleteOwnEntriesWithPrefix(folder, "winy"), 0u);
    EXPECT_EQ(compat::deleteOwnEntriesWithPrefix(scratch / "missing", "winy"), 0u);
}

TEST(DeleteEntries, EntriesOfOtherUsersAreLeftAlone) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    ovix::testing::ScratchFolder scratch;
    std::ofstream(scratch / "winyTheirs") << "x";
    std::ofstream(scratch / "winyMine") << "x";
    ASSERT_EQ(chown((scratch / "winyTheirs").c_str(), 65534, 65534), 0);
    EXPECT_EQ(compat::deleteOwnEntriesWithPrefix(scratch.path(), "winy"), 1u);
    EXPECT_TRUE(fs::exists(scratch / "winyTheirs"));
    EXPECT_FALSE(fs::exists(scratch / "winyMine"));
}

}  // namespace
