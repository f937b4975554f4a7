#include "launcher/ConfigUrl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "testing/ScratchFolder.h"

namespace ovix {
namespace {

class ConfigFolder : public ::testing::Test {
protected:
    void write(const std::string& bytes) { std::ofstream(m_folder / "vantile.config", std::ios::binary) << bytes; }

    ovix::testing::ScratchFolder m_folder;
};

TEST_F(ConfigFolder, ConfigUrlIsTheFirstExactLineWithoutTrailingSpace) {
    write("configurl=wrong\nConfigUrl=abc  \r\nConfigUrl=second\n");
    EXPECT_EQ(readConfigUrl(m_folder / "vantile.config"), "abc");
    write("HomepageUrl=x\n");
    EXPECT_EQ(readConfigUrl(m_folder / "vantile.config"), std::nullopt);
    EXPECT_EQ(readConfigUrl(m_folder / "missing.config"), std::nullopt);
}

TEST_F(ConfigFolder, ConfigUrlIsNeverFoundInsideALongLine) {
    // A reader that takes long lines in pieces would see a key mid-line.
    write("HomepageUrl=" + std::string(1011, 'x') + "ConfigUrl=inside\nConfigUrl=real\n");
    EXPECT_EQ(readConfigUrl(m_folder / "vantile.config"), "real");
}

// A pipe as the configuration once hung the launcher at start; the read
// runs in a child that an alarm ends.
TEST_F(ConfigFolder, APipeAsTheConfigurationIsNeverWaitedOn) {
    ASSERT_EQ(mkfifo((m_folder / "vantile.config").c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            alarm(30);
            std::exit(readConfigUrl(m_folder / "vantile.config") ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace ovix
