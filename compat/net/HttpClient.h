#pragma once
// A synchronous HTTP GET over libcurl, for the add-on's probe and fetches.
// Only http and https, redirects included (at most 5); an address on the
// loopback interface is never asked through a proxy; no signal is raised or
// caught. Any thread may call it, from several threads at once.
//
// An answer counts only whole: its status line, its header block to the
// blank line that ends it and, when the body is read, the body to its
// declared end (its length, its last chunk, or the close when it declares
// neither). A redirect is taken only from a header block that ended.
//
// Each request runs on a thread of the client's private descriptor table
// (PrivateDescriptorTable.h): every socket libcurl makes, those that no
// option of it reaches included (the wake-up pair of its multi handle, the
// pair of its threaded resolver, its IPv6 probe), exists only there, so a
// child that any other thread starts inherits none of them, and the
// process's own descriptors are never touched. The connection sockets are
// close-on-exec too.

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
    std::chrono::milliseconds timeLimit{3000};  // for the whole exchange; must be positive
    std::size_t bodyLimit = 1 << 20;     // a longer body fails the request
    bool readBody = true;                // false: done once the final header block is in
};

struct HttpResponse {
    long status = 0;
    std::string body;  // whole, chunked or not; empty when not read
};

// The final response after redirects. Empty when none came whole: a refused
// or failed connection, an answer cut short, the time limit, a malformed
// address, a scheme other than http and https, a sixth redirect, a body over
// the limit. Throws std::invalid_argument, before anything is sent, for a
// time limit that is not positive.
std::optional<HttpResponse> httpGet(const HttpRequest& request);

}  // namespace compat
