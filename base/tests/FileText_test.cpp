#include "base/FileText.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

using ovix::readFileText;

class FileTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ovix-filetext-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

// Only regular files are read, and none is waited on: a pipe without a
// writer would block a plain open for ever, so the case runs in a child that
// an alarm ends.
TEST_F(FileTextTest, OnlyRegularFilesAreReadAndNothingWaits) {
    std::ofstream(m_folder / "plain") << "text";
    ASSERT_EQ(mkfifo((m_folder / "pipe").c_str(), 0600), 0);
    fs::create_symlink(m_folder / "plain", m_folder / "link");
    EXPECT_EXIT(
        {
            alarm(30);
            const auto refused = [](const fs::path& path, ovix::FileTextRead how = {}) {
                return !readFileText(path, how) && errno == EINVAL;
            };
            const bool ok = readFileText(m_folder / "plain") == "text" && refused(m_folder / "pipe") &&
                            refused(m_folder / "pipe", {.followLinks = true}) && refused("/dev/null") &&
                            refused("/dev/zero", {.followLinks = true}) && refused(m_folder) &&
                            !readFileText(m_folder / "link") && errno == ELOOP &&
                            readFileText(m_folder / "link", {.followLinks = true}) == "text";
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FileTextTest, SizeIsBounded) {
    std::ofstream(m_folder / "four") << "1234";
    EXPECT_EQ(readFileText(m_folder / "four", {.maxBytes = 4}), "1234");
    EXPECT_FALSE(readFileText(m_folder / "four", {.maxBytes = 3}));
    EXPECT_EQ(errno, EFBIG);
    // A large sparse file is refused by its size, before any byte is read.
    {
        std::ofstream(m_folder / "large") << "x";
    }
    fs::resize_file(m_folder / "large", ovix::kFileTextMaxBytes + 1);
    EXPECT_FALSE(readFileText(m_folder / "large"));
    EXPECT_EQ(errno, EFBIG);
    // Files under /proc give no size and are bounded as they are read.
    EXPECT_TRUE(readFileText("/proc/self/status"));
    EXPECT_FALSE(readFileText("/proc/self/status", {.maxBytes = 16}));
    EXPECT_EQ(errno, EFBIG);
}

}  // namespace
