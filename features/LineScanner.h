#pragma once
// Fields of one line of text, read one after the other as scanf's "%d",
// "%llu", "%1s", "%s" and "%f" read them: leading white space skipped, a
// field ending where its syntax ends. Independent of the process locale.

#include <cstdint>
#include <string_view>

namespace ovix {

class LineScanner {
public:
    explicit LineScanner(std::string_view line) : m_at(line.data()), m_end(line.data() + line.size()) {}

    // Each returns false, without moving, when the field is missing or does
    // not fit its type.
    bool scanInt(int& value);
    bool scanUnsigned(std::uint64_t& value);
    bool scanFloat(float& value);
    bool scanChar(char& value);
    // A run of non-blank characters.
    bool scanWord(std::string_view& value);

    // True when only white space is left.
    bool atEnd();

private:
    void skipBlanks();
    // An optional '+', then the digits of Integer.
    template <class Integer>
    bool scanInteger(Integer& value);

    const char* m_at;
    const char* m_end;
};

}  // namespace ovix
