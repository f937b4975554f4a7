#include "compat/store/ProfileString.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "testing/ScratchFolder.h"

namespace {

using compat::readProfileString;

class ProfileStringTest : public ::testing::Test {
protected:
    // The URL of the InternetShortcut section of a file that holds `text`.
    std::string read(const std::string& text) {
        std::ofstream(m_scratch / "a.url", std::ios::binary) << text;
        return readProfileString(m_scratch / "a.url", "InternetShortcut", "URL");
    }
    ovix::testing::ScratchFolder m_scratch;
};

TEST_F(ProfileStringTest, FindsTheKeyOfItsSection) {
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"[InternetShortcut]\r\nURL=http://a/\r\n", "http://a/"},
        // Names match without regard to case; blanks around them are dropped.
        {"[ internetshortcut ]\n  url =  http://a/ b \t\n", "http://a/ b"},
        {"[Other]\nURL=http://other/\n[InternetShortcut]\nIcon=1\nURL=http://a/", "http://a/"},
        // The first line wins, a section ends at the next one.
        {"[InternetShortcut]\nURL=first\nURL=second\n", "first"},
        {"[InternetShortcut]\n[Other]\nURL=http://other/\n", ""},
        {"URL=before-any-section\n", ""},
        {"[InternetShortcut]\nURLX=no\nURL\n", ""},
        // Only the value after the first "=" counts; one pair of quotes goes.
        {"[InternetShortcut]\nURL=http://a/?b=c\n", "http://a/?b=c"},
        {"[InternetShortcut]\nURL=\"http://a/\"\n", "http://a/"},
        {"[InternetShortcut]\nURL=\"http://a/\n", "\"http://a/"},
        {"[InternetShortcut]\nURL=http://\"q\"/\n", "http://\"q\"/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.text), c.value) << c.text;
}

TEST_F(ProfileStringTest, ReadsLongValuesWhole) {
    const std::string url = "http://a/" + std::string(70000, 'x');
    EXPECT_EQ(read("[InternetShortcut]\nURL=" + url + "\n"), url);
}

TEST_F(ProfileStringTest, OnlyRegularFilesAreRead) {
    // A pipe with no writer would block a plain read for ever.
    ASSERT_EQ(mkfifo((m_scratch / "pipe.url").c_str(), 0600), 0);
    for (const std::filesystem::path& file : {m_scratch / "missing.url", m_scratch.path(), m_scratch / "pipe.url"})
        EXPECT_EQ(readProfileString(file, "InternetShortcut", "URL"), "") << file;
}

}  // namespace
