#include "features/Fids.h"

#include <gtest/gtest.h>

#include <string>

namespace ovix {

namespace {

std::string hex(const Fid& f) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (char c : f.m_fid) {
        const auto b = static_cast<unsigned char>(c);
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// RFC 1321, appendix A.5: the first 8 bytes of each digest.
TEST(Fids, IdIsTheStartOfTheMd5Digest) {
    Fids fids(false);
    EXPECT_EQ(hex(fids.getFidNative("")), "d41d8cd98f00b204");
    EXPECT_EQ(hex(fids.getFidNative("a")), "0cc175b9c0f1b6a8");
    EXPECT_EQ(hex(fids.getFidNative("abc")), "900150983cd24fb0");
    EXPECT_EQ(hex(fids.getFidNative("message digest")), "f96b697d7cb7938d");
    EXPECT_EQ(
        hex(fids.getFidNative("12345678901234567890123456789012345678901234567890123456789012345678901234567890")),
        "57edf4a22be3c955");
}

TEST(Fids, IdCoversEveryByteOfTheToken) {
    Fids fids(false);
    EXPECT_NE(fids.getFidNative(std::string("a\0b", 3)), fids.getFidNative("a"));
}

TEST(Fids, TextFormIsTheIdWithoutTrailingBlanks) {
    Fids fids(false);
    EXPECT_EQ(fids.getFid("abc"), fids.getFidNative("abc").text());
    EXPECT_EQ(fids.getFid("abc"), fids.getFid("abc"));
}

TEST(Fids, NewTokensAreHandedOutOnceInIdOrder) {
    Fids fids(true);
    const Fid run = fids.getFidNative("run");
    fids.getFidNative("walk");
    fids.getFidNative("run");
    auto tokens = fids.getNewTokens();
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_TRUE(FidHash()(tokens[0].first, tokens[1].first));
    const auto& runEntry = tokens[0].first == run ? tokens[0] : tokens[1];
    EXPECT_EQ(runEntry.second, "run");
    EXPECT_TRUE(fids.getNewTokens().empty());

    fids.getFidNative("jump");
    tokens = fids.getNewTokens();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].second, "jump");
}

TEST(Fids, TokensAreNotKeptUnlessAsked) {
    Fids fids(false);
    fids.getFidNative("run");
    EXPECT_TRUE(fids.getNewTokens().empty());
}

}  // namespace

}  // namespace ovix
