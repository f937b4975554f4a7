// Starting the launcher from the folder in the registry store, with a
// stand-in that records how it was started.

#include "addon/core/server/LauncherControl.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/UniqueFd.h"
#include "compat/store/RegistryKey.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using ovix::testing::eventually;
using ovix::testing::readFile;

class LauncherControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        // The stand-in writes its arguments, folder, environment and open
        // descriptors beside itself.
        for (const auto& folder : {install(), m_scratch / "caller", m_scratch / "caller" / "relative"}) {
            fs::create_directories(folder);
            const auto program = folder / "MorvaneLaunch.exe";
            ovix::testing::writeFile(program, "#!/bin/sh\n"
                                              "d=$(dirname \"$0\")\n"
                                              "printf '%s|' \"$#\" \"$@\" > \"$d/args\"\n"
                                              "pwd > \"$d/folder\"\n"
                                              "env > \"$d/environment\"\n"
                                              "ls -l /proc/self/fd > \"$d/descriptors\"\n");
            fs::permissions(program, fs::perms::owner_all);
        }
        ASSERT_EQ(chdir((m_scratch / "caller").c_str()), 0);
    }

    fs::path install() const { return m_scratch / "install dir"; }

    static void setDirectory(const std::optional<std::string>& directory) {
        const auto key = compat::RegistryKey::create(compat::RegistryHive::LocalMachine, "SOFTWARE\\Dastel\\Morvane");
        ASSERT_TRUE(key);
        if (directory)
            ASSERT_TRUE(key->setString("Directory", *directory));
        else
            key->remove("Directory");
    }

    ovix::testing::ScratchFolder m_scratch;
};

// Started with the one argument, in the caller's folder and environment,
// with descriptors 0 to 2 only, even one the caller left inheritable.
TEST_F(LauncherControlTest, StartsTheInstalledLauncher) {
    setDirectory(install().string());
    EXPECT_EQ(ReadInstallDirectory(), install().string());
    setenv("OVIX_CALLER_MARK", "a b", 1);
    const UniqueFd inheritable(open("/dev/null", O_RDONLY));
    ASSERT_TRUE(inheritable);

    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(eventually([&] { return !readFile(install() / "descriptors").empty(); }));
    EXPECT_EQ(readFile(install() / "args"), "1|http://localhost:10101|");
    EXPECT_EQ(readFile(install() / "folder"), (m_scratch / "caller").string() + "\n");
    EXPECT_NE(readFile(install() / "environment").find("\nOVIX_CALLER_MARK=a b\n"), std::string::npos);
    int listed = 0;
    EXPECT_EQ(ovix::testing::strayDescriptors(readFile(install() / "descriptors"), {}, listed),
              std::vector<std::string>{});
    EXPECT_GE(listed, 3);
}

// No directory, an empty one or a relative one starts nothing, not even the
// launcher that the relative folder names from the caller's folder.
TEST_F(LauncherControlTest, StartsNothingWithoutAnAbsoluteDirectory) {
    EXPECT_EQ(ReadInstallDirectory(), "");
    EXPECT_FALSE(StartLauncher());
    for (const std::optional<std::string>& directory :
         {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("relative")}) {
        setDirectory(directory);
        EXPECT_FALSE(StartLauncher()) << directory.value_or("(missing)");
    }
    EXPECT_FALSE(fs::exists(m_scratch / "caller" / "relative" / "args"));
    // A directory whose launcher is missing starts nothing either.
    setDirectory((m_scratch / "elsewhere").string());
    EXPECT_FALSE(StartLauncher());
}

}  // namespace

}  // namespace ovix
