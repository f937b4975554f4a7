#pragma once
// Whether the main application's server answers: one GET of the sidebar's
// page. Any thread may call it.

#include <chrono>
#include <string>

namespace ovix {

// True when a GET of `url`, with the header "Content-Type:
// application/x-www-form-urlencoded", ends in status 200 (after redirects)
// within `limit`. Decided on the status alone: the body is not read.
bool ProbeServer(const std::string& url, std::chrono::milliseconds limit);

}  // namespace ovix
