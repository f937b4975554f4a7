// The Tag It address: the page's title and address come back out of it
// through Python's urllib.parse, json and base64 (tagit_oracle.py), for the
// fixed case and for random texts.

#include "addon/browser/toolbar/TagIt.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "addon/core/coding/CURLEncode.h"
#include "base/Utf8.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

// What the oracle prints for `argument`.
std::string oracle(const std::string& mode, const std::string& argument) {
    return testing::commandOutput(std::string(PYTHON3) + " " + TAGIT_ORACLE + " " + mode + " '" + argument + "'");
}

std::string hex(std::string_view bytes) {
    std::string text;
    for (char c : bytes)
        text += CURLEncode::ToHex(static_cast<unsigned char>(c));
    return text;
}

// Well-formed UTF-8: JSON's own characters, controls, and characters of
// every length.
std::string randomText(std::mt19937& draw) {
    static constexpr char32_t kLow[] = {0x00, 0x20, 0x80, 0x800, 0xE000, 0x10000};
    static constexpr char32_t kHigh[] = {0x1F, 0x7F, 0x7FF, 0xD7FF, 0xFFFF, 0x10FFFF};
    std::string text;
    const auto length = std::uniform_int_distribution<int>(0, 90)(draw);
    for (int i = 0; i < length; ++i) {
        const auto band = std::uniform_int_distribution<int>(0, 5)(draw);
        appendUtf8(text, std::uniform_int_distribution<char32_t>(kLow[band], kHigh[band])(draw));
    }
    return text;
}

TEST(TagItTest, TagOfAPageTitledAbcAtXyz) {
    const std::string path = TagItPath(0, "abc", "xyz");
    EXPECT_EQ(oracle("unquote", path), "{\"0\":[\"YWJj\",\"eHl6\"]}\n");
}

// A Base64 text breaks its line after 76 characters: a title of 57 bytes
// and more carries an encoded CR LF, a shorter one none.
TEST(TagItTest, ATitleOf57BytesBreaksItsLine) {
    EXPECT_NE(TagItPath(0, std::string(57, 't'), "a").find("%0D%0A"), std::string::npos);
    EXPECT_EQ(TagItPath(0, std::string(56, 't'), "a").find("%0D%0A"), std::string::npos);
}

TEST(TagItTest, RandomTitlesAndAddressesComeBack) {
    testing::ScratchFolder scratch;
    std::mt19937 draw(21);
    std::string cases;
    for (int i = 0; i < 400; ++i) {
        const int id = std::uniform_int_distribution<int>(-5, 1000)(draw);
        const std::string title = randomText(draw);
        const std::string address = randomText(draw);
        cases +=
            std::to_string(id) + " " + hex(title) + " " + hex(address) + " " + TagItPath(id, title, address) + "\n";
    }
    testing::writeFile(scratch / "cases", cases);
    EXPECT_EQ(oracle("check", (scratch / "cases").string()), "");
}

}  // namespace

}  // namespace ovix
