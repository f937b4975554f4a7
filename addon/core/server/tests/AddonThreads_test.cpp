// A thread started the add-on's way counts as a use of its module while it
// runs, and keeps the module mapped once the host has let it go.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "compat/com/ComExports.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using ovix::testing::eventually;

bool mapped(const fs::path& file) {
    return ovix::testing::readFile("/proc/self/maps").find(file.string()) != std::string::npos;
}

TEST(AddonThreadsTest, RunningThreadsHoldAndPinTheModule) {
    ovix::testing::ScratchFolder scratch;
    const auto quiet = scratch / "quiet.so";
    const auto busy = scratch / "busy.so";
    fs::copy_file(THREADS_MODULE, quiet);
    fs::copy_file(THREADS_MODULE, busy);

    // Without a thread the host's last close unmaps the module.
    void* handle = dlopen(quiet.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(handle) << dlerror();
    dlclose(handle);
    EXPECT_FALSE(mapped(quiet));

    handle = dlopen(busy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(handle) << dlerror();
    const auto canUnload = reinterpret_cast<compat::CanUnloadNowEntry>(dlsym(handle, "DllCanUnloadNow"));
    const auto start = reinterpret_cast<void (*)(int)>(dlsym(handle, "StartWaitingThread"));
    ASSERT_TRUE(canUnload && start);
    EXPECT_EQ(canUnload(), compat::S_OK);
    int pipe[2];
    ASSERT_EQ(pipe2(pipe, O_CLOEXEC), 0);
    start(pipe[0]);
    start(pipe[0]);
    EXPECT_EQ(canUnload(), compat::S_FALSE);
    dlclose(handle);
    EXPECT_TRUE(mapped(busy));

    ASSERT_EQ(write(pipe[1], "x", 1), 1);
    EXPECT_EQ(canUnload(), compat::S_FALSE);
    ASSERT_EQ(write(pipe[1], "x", 1), 1);
    EXPECT_TRUE(eventually([&] { return canUnload() == compat::S_OK; }));
    EXPECT_TRUE(mapped(busy));
    close(pipe[0]);
    close(pipe[1]);
}

}  // namespace

}  // namespace ovix
