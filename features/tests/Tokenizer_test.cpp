#include "features/Tokenizer.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

// Tokenizes a copy held in a buffer of exactly the text's size, so that a
// read past the end is caught by the sanitizers.
std::vector<std::string> tokens(std::string_view text) {
    std::vector<char> exact(text.begin(), text.end());
    std::vector<std::string> found;
    ovix::forEachToken(std::string_view(exact.data(), exact.size()),
                       [&](std::string_view token) { found.emplace_back(token); });
    return found;
}

using Tokens = std::vector<std::string>;

TEST(Tokenizer, CutsAtCaseChanges) {
    EXPECT_EQ(tokens("The ABCs of HTMLParser"), (Tokens{"The", "ABC", "s", "of", "HTMLP", "arser"}));
    EXPECT_EQ(tokens("aB"), (Tokens{"a", "B"}));
    EXPECT_EQ(tokens("XML Parser parser"), (Tokens{"XML", "Parser", "parser"}));
    EXPECT_EQ(tokens("camelCaseWord"), (Tokens{"camel", "Case", "Word"}));
    EXPECT_EQ(tokens("A b C"), (Tokens{"A", "b", "C"}));
}

TEST(Tokenizer, EveryByteButALetterSeparates) {
    EXPECT_EQ(tokens("x1y"), (Tokens{"x", "y"}));
    EXPECT_EQ(tokens("2024 42"), Tokens{});
    EXPECT_EQ(tokens("na\xC3\xAFve caf\xE9s"), (Tokens{"na", "ve", "caf", "s"}));
    EXPECT_EQ(tokens("it's-a_b\tc\x7f"
                     "d\xff"
                     "e"),
              (Tokens{"it", "s", "a", "b", "c", "d", "e"}));
    EXPECT_EQ(tokens(""), Tokens{});
}

TEST(Tokenizer, StopsAtTheFirstNulOrTheEnd) {
    EXPECT_EQ(tokens(std::string_view("one\0two", 7)), (Tokens{"one"}));
    EXPECT_EQ(tokens(std::string_view("on\0e", 4)), (Tokens{"on"}));
    EXPECT_EQ(tokens(std::string_view("\0one", 4)), Tokens{});
    // Texts that end inside a token, after a capital, or after a separator.
    EXPECT_EQ(tokens("word"), (Tokens{"word"}));
    EXPECT_EQ(tokens("endsInX"), (Tokens{"ends", "In", "X"}));
    EXPECT_EQ(tokens("UPPER"), (Tokens{"UPPER"}));
    EXPECT_EQ(tokens("Up"), (Tokens{"Up"}));
    EXPECT_EQ(tokens("x "), (Tokens{"x"}));
}

// Random texts over an alphabet that exercises every rule, against a regular
// expression that states the rules independently.
TEST(Tokenizer, AgreesWithARegularExpressionOnRandomText) {
    const std::regex rule("[A-Z][a-z]+|[A-Z]+|[a-z]+");
    const char alphabet[] = {'a', 'b', 'z', 'A', 'Y', 'Z', ' ', '1', '@', '[', '`', '{', '\x80', '\xC3'};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        Tokens expected;
        for (std::sregex_iterator m(text.begin(), text.end(), rule), end; m != end; ++m)
            expected.push_back(m->str());
        ASSERT_EQ(tokens(text), expected) << text;
    }
}

}  // namespace
