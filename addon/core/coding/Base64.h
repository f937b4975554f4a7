#pragma once
// The Base64 coder that the drop target and the toolbar share: the alphabet
// of RFC 4648 with "=" padding, full groups in lines of 76 characters. Texts
// are UTF-8. Stateless: any thread may call it.

#include <string>
#include <string_view>

namespace ovix {

// Every 3 bytes give 4 characters; a CR LF follows every 19th full group (76
// characters); a final group of 1 or 2 bytes gives 2 or 3 characters padded
// with "=" to 4, with no break before it.
std::string Base64Encode(std::string_view bytes);
// Reads the alphabet's characters in groups of 4, skipping every other
// character (CR, LF and "=" included): 3 bytes a group, 1 or 2 for a final
// group of 2 or 3 characters.
std::string Base64Decode(std::string_view text);

// The Base64 of the text's UTF-8 bytes, each ill-formed part of the text
// taken as U+FFFD.
std::string Base64FromText(std::string_view text);
// The decoded bytes read as UTF-8, each ill-formed part becoming U+FFFD.
std::string TextFromBase64(std::string_view base64);

}  // namespace ovix
