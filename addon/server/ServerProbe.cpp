#include "addon/server/ServerProbe.h"

#include "compat/net/HttpClient.h"

namespace ovix {

bool ProbeServer(const std::string& url, std::chrono::milliseconds limit) {
    const auto response = compat::httpGet({.url = url,
                                           .headers = {"Content-Type: application/x-www-form-urlencoded"},
                                           .timeLimit = limit,
                                           .readBody = false});
    return response && response->status == 200;
}

}  // namespace ovix
