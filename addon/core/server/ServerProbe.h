#pragma once
// Whether the main application's server answers: one GET of the sidebar's
// page. Any thread may call it.

#include <chrono>
#include <string>

namespace ovix {

// True when a GET of `url`, with the header "Content-Type:
// application/x-www-form-urlencoded", ends in status 200 (after redirects)
// within `limit`. Decided on the whole header block of the answer: the body
// is not read. False at once for a limit that is not positive, and for any
// failure on the way.
bool ProbeServer(const std::string& url, std::chrono::milliseconds limit);

}  // namespace ovix
