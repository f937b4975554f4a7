#include "compat/store/ProfileString.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "compat/system/ExpandEnvironment.h"
#include "testing/ScratchFolder.h"

namespace {

using compat::readProfileString;

class ProfileStringTest : public ::testing::Test {
protected:
    std::string read(const std::string& text, const char* section = "InternetShortcut", const char* key = "URL") {
        std::ofstream(m_scratch / "a.url", std::ios::binary) << text;
        return readProfileString(m_scratch / "a.url", section, key);
    }
    ovix::testing::ScratchFolder m_scratch;
};

TEST_F(ProfileStringTest, FindsTheKeyOfItsSection) {
    EXPECT_EQ(read("[InternetShortcut]\r\nURL=http://a/\r\n"), "http://a/");
    // Names match without regard to case; blanks around them are dropped.
    EXPECT_EQ(read("[ internetshortcut ]\n  url =  http://a/ b \t\n"), "http://a/ b");
    EXPECT_EQ(read("[Other]\nURL=http://other/\n[InternetShortcut]\nIcon=1\nURL=http://a/"), "http://a/");
    // The first line wins, a section ends at the next one.
    EXPECT_EQ(read("[InternetShortcut]\nURL=first\nURL=second\n"), "first");
    EXPECT_EQ(read("[InternetShortcut]\n[Other]\nURL=http://other/\n"), "");
    EXPECT_EQ(read("URL=before-any-section\n"), "");
    EXPECT_EQ(read("[InternetShortcut]\nURLX=no\nURL\n"), "");
    // Only the value after the first "=" counts; one pair of quotes goes.
    EXPECT_EQ(read("[InternetShortcut]\nURL=http://a/?b=c\n"), "http://a/?b=c");
    EXPECT_EQ(read("[InternetShortcut]\nURL=\"http://a/\"\n"), "http://a/");
    EXPECT_EQ(read("[InternetShortcut]\nURL=\"http://a/\n"), "\"http://a/");
    EXPECT_EQ(read("[InternetShortcut]\nURL=http://\"q\"/\n"), "http://\"q\"/");
}

TEST_F(ProfileStringTest, ReadsLongValuesWhole) {
    const std::string url = "http://a/" + std::string(70000, 'x');
    EXPECT_EQ(read("[InternetShortcut]\nURL=" + url + "\n"), url);
}

TEST_F(ProfileStringTest, OnlyRegularFilesAreRead) {
    EXPECT_EQ(readProfileString(m_scratch / "missing.url", "InternetShortcut", "URL"), "");
    EXPECT_EQ(readProfileString(m_scratch.path(), "InternetShortcut", "URL"), "");
    // A pipe with no writer would block a plain read for ever.
    ASSERT_EQ(mkfifo((m_scratch / "pipe.url").c_str(), 0600), 0);
    EXPECT_EQ(readProfileString(m_scratch / "pipe.url", "InternetShortcut", "URL"), "");
}

TEST(ExpandEnvironmentTest, ReplacesSetVariablesOnly) {
    setenv("OVIX_EXPAND_A", "/home/a", 1);
    unsetenv("OVIX_EXPAND_UNSET");
    using compat::expandEnvironment;
    EXPECT_EQ(expandEnvironment("%OVIX_EXPAND_A%\\Favorites"), "/home/a\\Favorites");
    EXPECT_EQ(expandEnvironment("x%OVIX_EXPAND_A%%OVIX_EXPAND_A%y"), "x/home/a/home/ay");
    EXPECT_EQ(expandEnvironment("%OVIX_EXPAND_UNSET%/f"), "%OVIX_EXPAND_UNSET%/f");
    // The closing mark of an unknown name may open a known one.
    EXPECT_EQ(expandEnvironment("%OVIX_EXPAND_UNSET%OVIX_EXPAND_A%"), "%OVIX_EXPAND_UNSET/home/a");
    EXPECT_EQ(expandEnvironment("100%"), "100%");
    EXPECT_EQ(expandEnvironment("%%"), "%%");
    EXPECT_EQ(expandEnvironment(""), "");
    unsetenv("OVIX_EXPAND_A");
}

}  // namespace
