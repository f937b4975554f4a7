#include "compat/system/XdgFolders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "testing/ScratchFolder.h"

namespace {

TEST(XdgFolders, WithoutARuntimeBaseTheRuntimeFolderIsAPrivateOneUnderTheStateFolder) {
    ovix::testing::ScratchFolder folder;
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", (folder / "home").c_str(), 1);
    EXPECT_EQ(compat::runtimeFolder(), folder / "home/.local/state/ovix/runtime");

    const auto state = folder / "state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    ASSERT_TRUE(compat::ensureRuntimeFolder());
    EXPECT_EQ(compat::runtimeFolder(), state / "ovix" / "runtime");
    for (const auto& made : {state, state / "ovix", state / "ovix" / "runtime"}) {
        struct stat info;
        ASSERT_EQ(lstat(made.c_str(), &info), 0) << made;
        EXPECT_TRUE(S_ISDIR(info.st_mode)) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }

    // No guess elsewhere when neither folder is known.
    setenv("XDG_STATE_HOME", "relative/state", 1);
    unsetenv("HOME");
    EXPECT_TRUE(compat::runtimeFolder().empty());
    EXPECT_FALSE(compat::ensureRuntimeFolder());
}

// The runtime folder is used through a descriptor only when another user can
// neither enter it nor swap it: $XDG_RUNTIME_DIR and "ovix" under it both the
// caller's, with no permission for anyone else, and "ovix" no link.
TEST(XdgFolders, APrivateRuntimeFolderIsOpenedOnlyWhenNoOneElseCanReachIt) {
    namespace fs = std::filesystem;
    using Setup = std::function<void(const fs::path& base)>;
    const auto otherUser = [](const fs::path& path) { ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0); };
    const struct {
        const char* name;
        Setup setup;
        bool opened;
        bool needsRoot;
    } cases[] = {
        {"made when missing", [](const fs::path&) {}, true, false},
        {"kept when private",
         [](const fs::path& base) {
             fs::create_directory(base / "ovix");
             chmod((base / "ovix").c_str(), 0700);
         },
         true, false},
        {"base open to others", [](const fs::path& base) { chmod(base.c_str(), 0755); }, false, false},
        {"folder open to others",
         [](const fs::path& base) {
             fs::create_directory(base / "ovix");
             chmod((base / "ovix").c_str(), 0755);
         },
         false, false},
        {"folder a link to a private folder",
         [](const fs::path& base) {
             fs::create_directory(base / "elsewhere");
             fs::create_directory_symlink(base / "elsewhere", base / "ovix");
         },
         false, false},
        {"base of another user", otherUser, false, true},
        {"folder of another user",
         [&](const fs::path& base) {
             fs::create_directory(base / "ovix");
             chmod((base / "ovix").c_str(), 0700);
             otherUser(base / "ovix");
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && geteuid() != 0)
            continue;
        ovix::testing::ScratchFolder scratch;
        const fs::path base = scratch / "runtime";
        ASSERT_TRUE(fs::create_directory(base));
        chmod(base.c_str(), 0700);
        c.setup(base);
        const auto modeBefore =
            fs::exists(base / "ovix") ? fs::symlink_status(base / "ovix").permissions() : fs::perms::none;
        setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
        const ovix::UniqueFd folder = compat::openPrivateRuntimeFolder();
        EXPECT_EQ(static_cast<bool>(folder), c.opened);
        if (folder) {
            struct stat opened, named;
            ASSERT_EQ(fstat(folder.get(), &opened), 0);
            ASSERT_EQ(lstat((base / "ovix").c_str(), &named), 0);
            EXPECT_EQ(opened.st_ino, named.st_ino);
            EXPECT_EQ(opened.st_mode & 0777, 0700u);
        } else if (modeBefore != fs::perms::none) {
            EXPECT_EQ(fs::symlink_status(base / "ovix").permissions(), modeBefore)
                << "a refused folder is left as it is";
        }
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(compat::openPrivateRuntimeFolder());
    setenv("XDG_RUNTIME_DIR", "relative/runtime", 1);
    EXPECT_FALSE(compat::openPrivateRuntimeFolder());
}

}  // namespace
