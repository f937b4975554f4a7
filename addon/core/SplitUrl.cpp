#include "addon/core/SplitUrl.h"

#include <climits>

namespace ovix {

std::string SplitUrl(const std::string& url, std::string& host, int& port, std::string& path) {
    host.clear();
    path.clear();
    port = 80;
    const auto scheme = url.find("://");
    const auto start = scheme == std::string::npos ? 0 : scheme + 3;
    const auto slash = url.find('/', start);
    const auto query = url.find('?');
    if (slash != std::string::npos) {
        host = url.substr(start, slash - start);
        path = url.substr(slash);
    } else if (query != std::string::npos) {
        // A "?" before the host's start leaves no host.
        host = query > start ? url.substr(start, query - start) : std::string();
        path = "/" + url.substr(query);
    } else {
        host = url.substr(start);
    }
    if (const auto colon = host.find(':'); colon != std::string::npos) {
        long long number = 0;
        for (auto i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i)
            number = std::min<long long>(number * 10 + (host[i] - '0'), INT_MAX);
        port = static_cast<int>(number);
        host.resize(colon);
    }
    return url;
}

}  // namespace ovix
