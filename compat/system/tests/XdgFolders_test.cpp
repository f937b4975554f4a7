#include "compat/system/XdgFolders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

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

}  // namespace
