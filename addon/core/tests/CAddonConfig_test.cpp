#include "addon/core/CAddonConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace ovix {

namespace {

namespace fs = std::filesystem;

class ConfigFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ovix-config-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void write(const std::string& bytes) { std::ofstream(m_folder / "vantile.config", std::ios::binary) << bytes; }

    fs::path m_folder;
};

CAddonConfig parsed(const std::string& text) {
    CAddonConfig config;
    config.ParseText(text);
    return config;
}

TEST(CAddonConfig, BareLineFeedsKeepTheLastCharacterOfEachValue) {
    const auto config = parsed("HomepageUrl=http://localhost:10101\nSidebarUrl=http://localhost:10101/side\n");
    EXPECT_EQ(config.GetHomepageUrl(), "http://localhost:10101");
    EXPECT_EQ(config.GetSidebarUrl(), "http://localhost:10101/side");
}

TEST(CAddonConfig, CarriageReturnLineFeedEndsALine) {
    const auto config = parsed("TagItUrl=http://h/t\r\nSidebarCheckOn=on\r\nInterestsListUrl=http://h/l");
    EXPECT_EQ(config.GetTagItUrl(), "http://h/t");
    EXPECT_TRUE(config.SidebarCheckOn);
    EXPECT_EQ(config.GetInterestsListUrl(), "http://h/l");
}

TEST(CAddonConfig, OnlyAnExactOnSwitchesTheSidebarCheckOn) {
    for (const char* text : {"SidebarCheckOn=On\r\n", "SidebarCheckOn= on\r\n", "SidebarCheckOn=on \r\n",
                             "sidebarcheckon=on\r\n", "SidebarCheckOn=on\r\nSidebarCheckOn=off"})
        EXPECT_FALSE(parsed(text).SidebarCheckOn) << text;
    EXPECT_TRUE(parsed("SidebarCheckOn=off\nSidebarCheckOn=on").SidebarCheckOn);
}

TEST(CAddonConfig, KeysAreExactAndValuesTakenAsTheyStand) {
    const auto config = parsed(
        "homepageurl=x\n HomepageUrl=y\nHomepageUrl=a=b\nno equals sign\n=orphan\nConfigUrl=http://c\n"
        "DropItUrl= spaced \nNewInterestUrl=n\nFavoritesUrl=f\nInterestUrl=i\n\n");
    EXPECT_EQ(config.HomepageUrl, "a=b");
    EXPECT_EQ(config.DropItUrl, " spaced ");
    EXPECT_EQ(config.NewInterestUrl, "n");
    EXPECT_EQ(config.FavoritesUrl, "f");
    EXPECT_EQ(config.InterestUrl, "i");
    EXPECT_EQ(config.SidebarUrl, "");
}

TEST(CAddonConfig, LaterLineWinsAndAnEmptyValueClears) {
    EXPECT_EQ(parsed("HomepageUrl=a\r\nHomepageUrl=b").HomepageUrl, "b");
    EXPECT_EQ(parsed("HomepageUrl=a\r\nHomepageUrl=").HomepageUrl, "");
}

TEST_F(ConfigFolder, MissingFileLeavesTheRecordAsItWas) {
    CAddonConfig config;
    config.HomepageUrl = "kept";
    EXPECT_EQ(config.Load(m_folder), 0);
    EXPECT_EQ(config.HomepageUrl, "kept");
    EXPECT_FALSE(config.SidebarCheckOn);
}

TEST_F(ConfigFolder, ReadsTheWholeFileUpToAZeroByte) {
    // The value of the last key lies far beyond the first kilobyte.
    std::string text = "HomepageUrl=" + std::string(3000, 'h') + "\r\nSidebarUrl=http://side\r\n";
    write(text + std::string("TagItUrl=t\0InterestsListUrl=hidden\r\n", 37));
    CAddonConfig config;
    EXPECT_EQ(config.Load(m_folder), 1);
    EXPECT_EQ(config.HomepageUrl.size(), 3000u);
    EXPECT_EQ(config.SidebarUrl, "http://side");
    EXPECT_EQ(config.TagItUrl, "t");
    EXPECT_EQ(config.InterestsListUrl, "");
}

TEST_F(ConfigFolder, LoadWithoutFolderReadsBesideTheProgram) {
    const fs::path beside = fs::read_symlink("/proc/self/exe").parent_path() / "vantile.config";
    ASSERT_FALSE(fs::exists(beside));
    std::ofstream(beside, std::ios::binary) << "HomepageUrl=http://beside\r\n";
    CAddonConfig config;
    const int loaded = config.Load();
    fs::remove(beside);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(config.HomepageUrl, "http://beside");
}

}  // namespace

}  // namespace ovix
