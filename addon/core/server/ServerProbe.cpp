#include "addon/core/server/ServerProbe.h"

#include <exception>

#include "compat/net/HttpClient.h"

namespace ovix {

bool ProbeServer(const std::string& url, std::chrono::milliseconds limit) {
    try {
        const auto response = compat::httpGet({.url = url,
                                               .headers = {"Content-Type: application/x-www-form-urlencoded"},
                                               .timeLimit = limit,
                                               .readBody = false});
        return response && response->status == 200;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace ovix
