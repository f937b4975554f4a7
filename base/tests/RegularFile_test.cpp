#include "base/RegularFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A FIFO with no other end opens at once and is refused, for reading and for
// writing; so are devices and folders. A file that is absent is not opened,
// and is no other type either.
TEST(RegularFile, OpensOnlyRegularFilesAndNeverWaits) {
    char pattern[] = "/tmp/ovix-regular-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    std::ofstream(folder / "file") << "12345";
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);

    const ovix::RegularFile file = ovix::openRegularFile(folder / "file", O_RDONLY);
    EXPECT_TRUE(file.fd);
    EXPECT_EQ(file.size, 5);
    EXPECT_FALSE(file.notRegular);
    EXPECT_TRUE(ovix::openRegularFile(folder / "new", O_WRONLY | O_CREAT).fd);
    EXPECT_EQ(std::filesystem::file_size(folder / "new"), 0u);

    const std::pair<std::filesystem::path, int> others[] = {{folder / "fifo", O_RDONLY}, {folder / "fifo", O_WRONLY},
                                                            {"/dev/null", O_RDONLY},     {"/dev/null", O_WRONLY},
                                                            {folder, O_RDONLY},          {folder, O_WRONLY}};
    for (const auto& [path, flags] : others) {
        const ovix::RegularFile other = ovix::openRegularFile(path, flags);
        EXPECT_FALSE(other.fd) << path;
        EXPECT_TRUE(other.notRegular) << path << " " << flags;
    }

    const ovix::RegularFile missing = ovix::openRegularFile(folder / "missing", O_RDONLY);
    EXPECT_FALSE(missing.fd);
    EXPECT_FALSE(missing.notRegular);
    EXPECT_EQ(errno, ENOENT);
    std::filesystem::remove_all(folder);
}

}  // namespace
