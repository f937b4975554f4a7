#include "launcher/ConfigUrl.h"

#include <gtest/gtest.h>

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

}  // namespace

}  // namespace ovix
