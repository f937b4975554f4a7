#include "features/PorterStemmer.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

#include "base/Ascii.h"

namespace ovix {

namespace {

using Index = std::ptrdiff_t;

struct Rule {
    std::string_view suffix;
    std::string_view replacement;
};

// Steps 2 and 3: the first rule whose suffix ends the word decides, and its
// replacement is made when the stem before the suffix has a measure above 0.
constexpr Rule step2Rules[] = {
    {"ational", "ate"}, {"tional", "tion"}, {"enci", "ence"}, {"anci", "ance"}, {"izer", "ize"},
    {"bli", "ble"},     {"alli", "al"},     {"entli", "ent"}, {"eli", "e"},     {"ousli", "ous"},
    {"ization", "ize"}, {"ation", "ate"},   {"ator", "ate"},  {"alism", "al"},  {"iveness", "ive"},
    {"fulness", "ful"}, {"ousness", "ous"}, {"aliti", "al"},  {"iviti", "ive"}, {"biliti", "ble"},
    {"logi", "log"},
};

constexpr Rule step3Rules[] = {
    {"icate", "ic"}, {"ative", ""}, {"alize", "al"}, {"iciti", "ic"}, {"ical", "ic"}, {"ful", ""}, {"ness", ""},
};

// Step 4: the first suffix that ends the word decides, and it is removed when
// the stem before it has a measure above 1; "ion" counts only after s or t.
constexpr std::string_view step4Suffixes[] = {
    "al",  "ance", "ence", "er",  "ic",  "able", "ible", "ant", "ement", "ment",
    "ent", "ion",  "ou",   "ism", "ate", "iti",  "ous",  "ive", "ize",
};

constexpr bool isVowelLetter(char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
}

// The word being stemmed: letters b[0..k], and j, the end of the stem that the
// last matching suffix leaves.
class Word {
public:
    Word(char* b, Index k) : m_b(b), m_k(k) {}

    // Runs the steps; returns the index of the new last letter.
    Index stem() {
        step1ab();
        step1c();
        applyFirstRule(step2Rules);
        applyFirstRule(step3Rules);
        step4();
        step5();
        return m_k;
    }

private:
    // A letter is a consonant unless it is a vowel, or a y after a consonant;
    // a y at the start is a consonant. Walks back over a run of y's.
    bool consonant(Index i) const {
        bool flipped = false;
        for (;; --i) {
            const char c = m_b[i];
            if (isVowelLetter(c))
                return flipped;
            if (c != 'y' || i == 0)
                return !flipped;
            flipped = !flipped;
        }
    }

    // The number of vowel-consonant sequences in b[0..j], capped at 2: the
    // rules only ask whether it is 0, 1 or more.
    int measure() const {
        int m = 0;
        bool previousConsonant = true;
        for (Index i = 0; i <= m_j; ++i) {
            const char c = m_b[i];
            const bool isConsonant = c == 'y' ? i == 0 || !previousConsonant : !isVowelLetter(c);
            if (isConsonant && !previousConsonant && ++m == 2)
                return m;
            previousConsonant = isConsonant;
        }
        return m;
    }

    // Whether b[0..j] holds a vowel. Up to the first vowel every letter is a
    // consonant, so a y there is a vowel unless it starts the word.
    bool vowelInStem() const {
        for (Index i = 0; i <= m_j; ++i) {
            if (isVowelLetter(m_b[i]) || (i > 0 && m_b[i] == 'y'))
                return true;
        }
        return false;
    }

    // Whether b[i - 1], b[i] are one consonant twice.
    bool doubleConsonant(Index i) const { return i >= 1 && m_b[i] == m_b[i - 1] && consonant(i); }

    // Whether b[i - 2..i] is consonant, vowel, consonant and the last is not
    // w, x or y: the ending where a removed final e is put back (hop(e), fil(e)).
    bool consonantVowelConsonant(Index i) const {
        if (i < 2 || !consonant(i) || consonant(i - 1) || !consonant(i - 2))
            return false;
        const char c = m_b[i];
        return c != 'w' && c != 'x' && c != 'y';
    }

    // Whether b[0..k] ends with the suffix; if so j is set before it.
    bool endsWith(std::string_view suffix) {
        const auto length = static_cast<Index>(suffix.size());
        if (m_b[m_k] != suffix.back() || length > m_k + 1)
            return false;
        if (std::memcmp(m_b + m_k - length + 1, suffix.data(), suffix.size()) != 0)
            return false;
        m_j = m_k - length;
        return true;
    }

    // Replaces b[j + 1..k] by the text; the word never grows past its old end.
    void setTo(std::string_view text) {
        std::memcpy(m_b + m_j + 1, text.data(), text.size());
        m_k = m_j + static_cast<Index>(text.size());
    }

    void applyFirstRule(std::span<const Rule> rules) {
        for (const Rule& rule : rules) {
            if (endsWith(rule.suffix)) {
                if (measure() > 0)
                    setTo(rule.replacement);
                return;
            }
        }
    }

    // Plurals and -ed or -ing: caresses -> caress, ponies -> poni, cats -> cat;
    // feed -> feed, agreed -> agree; plastered -> plaster, motoring -> motor,
    // conflated -> conflate, hopping -> hop, falling -> fall; the final e comes
    // back only at measure 1: filing -> file, but developing -> develop.
    void step1ab() {
        if (m_b[m_k] == 's') {
            if (endsWith("sses"))
                m_k -= 2;
            else if (endsWith("ies"))
                setTo("i");
            else if (m_b[m_k - 1] != 's')
                --m_k;
        }
        if (endsWith("eed")) {
            if (measure() > 0)
                --m_k;
        } else if ((endsWith("ed") || endsWith("ing")) && vowelInStem()) {
            m_k = m_j;
            if (endsWith("at")) {
                setTo("ate");
            } else if (endsWith("bl")) {
                setTo("ble");
            } else if (endsWith("iz")) {
                setTo("ize");
            } else if (doubleConsonant(m_k)) {
                const char c = m_b[m_k];
                if (c != 'l' && c != 's' && c != 'z')
                    --m_k;
            } else if (measure() == 1 && consonantVowelConsonant(m_k)) {
                setTo("e");
            }
        }
    }

    // A final y becomes i when the stem holds a vowel: happy -> happi.
    void step1c() {
        if (endsWith("y") && vowelInStem())
            m_b[m_k] = 'i';
    }

    void step4() {
        for (std::string_view suffix : step4Suffixes) {
            if (!endsWith(suffix))
                continue;
            if (suffix == "ion" && (m_j < 0 || (m_b[m_j] != 's' && m_b[m_j] != 't')))
                continue;
            if (measure() > 1)
                m_k = m_j;
            return;
        }
    }

    // A final e goes when the measure is above 1, or is 1 and the word does
    // not end consonant-vowel-consonant before it; a final ll loses an l when
    // the measure is above 1.
    void step5() {
        m_j = m_k;
        if (m_b[m_k] == 'e') {
            const int m = measure();
            if (m > 1 || (m == 1 && !consonantVowelConsonant(m_k - 1)))
                --m_k;
        }
        if (m_b[m_k] == 'l' && doubleConsonant(m_k) && measure() > 1)
            --m_k;
    }

    char* m_b;
    Index m_k;
    Index m_j = 0;
};

}  // namespace

void PorterStemmer::stem(char* s) const {
    std::size_t length = 0;
    for (; s[length] != '\0'; ++length)
        s[length] = asciiToLower(s[length]);
    if (length <= 2)
        return;
    Word word(s, static_cast<Index>(length) - 1);
    s[word.stem() + 1] = '\0';
}

}  // namespace ovix
