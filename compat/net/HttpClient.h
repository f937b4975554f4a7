#pragma once
// A synchronous HTTP GET over libcurl, for the add-on's probe and fetches.
// Only http and https, redirects included (at most 5); an address on the
// loopback interface is never asked through a proxy; the sockets are
// close-on-exec; no signal is raised or caught. Any thread may call it, from
// several threads at once.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace compat {

struct HttpRequest {
    std::string url{};
    std::vector<std::string> headers{};  // "Name: value" lines, sent as given
    std::string userAgent{};             // no User-Agent header when empty
    std::chrono::milliseconds timeLimit{3000};  // for the whole exchange
    std::size_t bodyLimit = 1 << 20;     // a longer body fails the request
    bool readBody = true;                // false: done once the final status is in
};

struct HttpResponse {
    long status = 0;
    std::string body;  // whole, chunked or not; empty when not read
};

// The final response after redirects. Empty when none came: a refused or
// failed connection, the time limit, a malformed address, a scheme other
// than http and https, a sixth redirect, a body over the limit.
std::optional<HttpResponse> httpGet(const HttpRequest& request);

}  // namespace compat
