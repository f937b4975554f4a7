#pragma once
// The address of the main application's Tag It dialog for a page, below
// "HomepageUrl". Stateless: any thread may call it.

#include <string>
#include <string_view>

namespace ovix {

// "/TagItDialog?tag=" and the percent-encoding (CURLEncode::Encode) of the
// JSON text {"<interestId>":["<title>","<address>"]}, title and address each
// as the Base64 of its UTF-8 bytes, with a CR LF after every 76 characters.
std::string TagItPath(int interestId, std::string_view title, std::string_view address);

}  // namespace ovix
