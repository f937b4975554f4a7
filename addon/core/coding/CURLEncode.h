#pragma once
// Percent-encoding of the texts that the toolbar puts into page addresses,
// and decoding of the lists it fetches. Texts are UTF-8. Stateless: any
// thread may call it.

#include <string>
#include <string_view>

namespace ovix {

class CURLEncode {
public:
    // Each byte that is one of the 21 reserved characters ("<>%\^[]`+$,@:;/!#?=&
    // and the double quote), below 33 or above 122 becomes "%" and ToHex of
    // it; every other byte stays. A character beyond ASCII is encoded whole,
    // byte by byte.
    static std::string Encode(std::string_view text);
    // "+" gives a blank; "%" and two hexadecimal digits of either case give
    // that byte; a "%" without two digits stays as it is. The bytes are read
    // as UTF-8, each ill-formed part becoming U+FFFD.
    static std::string Decode(std::string_view text);
    // The byte as two upper-case hexadecimal digits.
    static std::string ToHex(unsigned char byte);
};

}  // namespace ovix
