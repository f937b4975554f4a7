#pragma once
// M. F. Porter's suffix-stripping stemmer for English, in the variant of his
// reference implementation: "bli" becomes "ble", "logi" becomes "log", and
// words of two letters or fewer are left alone. It has no state; stem may be
// called from any thread.

namespace ovix {

class PorterStemmer {
public:
    // Lower-cases the NUL-terminated word in place (ASCII letters only; other
    // bytes are kept and count as consonants), then stems it in place and ends
    // it with a NUL after its new last letter. Any bytes are safe; the time is
    // linear in the word's length.
    void stem(char* s) const;
};

}  // namespace ovix
