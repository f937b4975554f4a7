#pragma once
// The one rule for which pages of the local web interface may use what the
// add-on and the favorites control offer them.
// Thread safety: a pure function.

#include <string_view>

namespace ovix {

// True when `pageUrl` is a page under `homepageUrl`: both are addresses
// "scheme://host[:port][path][?query][#fragment]" whose schemes and hosts are
// written exactly alike (a browser shows them in lower case), whose ports are
// equal (80 for http and 443 for https when none is written), and the page's
// path begins with the homepage's path at a segment boundary ("/", "?", "#"
// or the end). An empty homepage admits no page. Never admitted: user
// information ("name@host"), a byte outside printable ASCII or a backslash,
// a "." or ".." path segment.
bool AdmitsPage(std::string_view homepageUrl, std::string_view pageUrl);

}  // namespace ovix
