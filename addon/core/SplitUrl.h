#pragma once
// Splits a configured URL into host, port and path.

#include <string>

namespace ovix {

// host: the text after "://" (or from the start) up to the first "/" or, when
// there is none, the first "?"; port: the digits after the host's first ":"
// (80 when it has none, 0 when no digit follows); path: from that "/" to the
// end, or "/" and the query when there is only a "?", else empty. Returns url.
std::string SplitUrl(const std::string& url, std::string& host, int& port, std::string& path);

}  // namespace ovix
