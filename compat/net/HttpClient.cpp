#include "compat/net/HttpClient.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "compat/net/PrivateDescriptorTable.h"

namespace compat {

namespace {

using std::chrono::milliseconds;

constexpr long kMaxRedirects = 5;

// Addresses that never go through a proxy, and whatever the user's
// no_proxy adds to them.
std::string noProxyList() {
    std::string list = "localhost,127.0.0.0/8,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        if (const char* value = std::getenv(name); value && *value) {
            list += ',';
            list += value;
            break;
        }
    }
    return list;
}

curl_socket_t openSocket(void*, curlsocktype, curl_sockaddr* address) {
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// What has come of the answer under way. Its status line opens a header
// block and a blank line ends it; the transfer is stopped at that blank line
// when the body is not wanted: for a redirect, or when the request reads no
// body.
struct Answer {
    const HttpRequest& request;
    CURL* handle;
    bool headEnded = false;
    bool stoppedAtHead = false;
    std::optional<std::string> location{};  // of a redirect
    std::string body{};
};

std::size_t takeHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto& answer = *static_cast<Answer*>(context);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        answer.headEnded = false;
        return bytes;
    }
    if (answer.headEnded || (line != "\r\n" && line != "\n"))
        return bytes;
    long status = 0;
    if (curl_easy_getinfo(answer.handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK)
        return 0;
    if (status >= 100 && status < 200)  // an interim answer: the final one follows
        return bytes;
    answer.headEnded = true;
    curl_header* location = nullptr;
    if (status >= 300 && status < 400 &&
        curl_easy_header(answer.handle, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK &&
        *location->value)
        answer.location = location->value;
    if (answer.location || !answer.request.readBody) {
        answer.stoppedAtHead = true;
        return 0;
    }
    return bytes;
}

std::size_t takeBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& answer = *static_cast<Answer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > answer.request.bodyLimit - answer.body.size())
        return 0;
    answer.body.append(data, bytes);
    return bytes;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

template <typename Value>
bool setOption(CURL* handle, CURLoption option, Value value) {
    return curl_easy_setopt(handle, option, value) == CURLE_OK;
}

// Sets every option of the request but its time limit; false when libcurl
// refuses one.
bool configure(CURL* h, Answer& answer, curl_slist* headers, const std::string& noProxy) {
    const HttpRequest& request = answer.request;
    return setOption(h, CURLOPT_URL, request.url.c_str()) && setOption(h, CURLOPT_PROTOCOLS_STR, "http,https") &&
           setOption(h, CURLOPT_NOPROXY, noProxy.c_str()) && setOption(h, CURLOPT_NOSIGNAL, 1L) &&
           setOption(h, CURLOPT_OPENSOCKETFUNCTION, openSocket) && setOption(h, CURLOPT_HTTPHEADER, headers) &&
           (request.userAgent.empty() || setOption(h, CURLOPT_USERAGENT, request.userAgent.c_str())) &&
           (!request.readBody ||
            setOption(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.bodyLimit))) &&
           setOption(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) &&  // a proxy's answer is no header block
           setOption(h, CURLOPT_HEADERFUNCTION, takeHeader) && setOption(h, CURLOPT_HEADERDATA, &answer) &&
           setOption(h, CURLOPT_WRITEFUNCTION, takeBody) && setOption(h, CURLOPT_WRITEDATA, &answer);
}

// Where a redirect leads: its Location resolved against the address just
// asked, as libcurl resolves it when it follows by itself.
std::optional<std::string> redirectTarget(CURL* h, const std::string& location) {
    const char* asked = nullptr;
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    char* target = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &asked) != CURLE_OK || !asked || !url ||
        curl_url_set(url.get(), CURLUPART_URL, asked, 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_URL, &target, 0) != CURLUE_OK)
        return std::nullopt;
    std::string result(target);
    curl_free(target);
    return result;
}

// The request, redirects followed one by one so that each answer is checked
// whole before the next is asked.
std::optional<HttpResponse> exchange(const HttpRequest& request) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    const auto deadline = std::chrono::steady_clock::now() + request.timeLimit;
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (initialised != CURLE_OK || !handle)
        return std::nullopt;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const auto& line : request.headers) {
        curl_slist* longer = curl_slist_append(headers.get(), line.c_str());
        if (!longer)
            return std::nullopt;
        headers.release();
        headers.reset(longer);
    }
    const std::string noProxy = noProxyList();
    CURL* const h = handle.get();
    Answer answer{request, h};
    if (!configure(h, answer, headers.get(), noProxy))
        return std::nullopt;
    for (long redirects = 0;; ++redirects) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= milliseconds::zero() || !setOption(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count())))
            return std::nullopt;
        answer.headEnded = answer.stoppedAtHead = false;
        answer.location.reset();
        answer.body.clear();
        const CURLcode result = curl_easy_perform(h);
        if (!answer.headEnded || !(result == CURLE_OK || (result == CURLE_WRITE_ERROR && answer.stoppedAtHead)))
            return std::nullopt;
        if (!answer.location) {
            HttpResponse response;
            if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status) != CURLE_OK)
                return std::nullopt;
            response.body = std::move(answer.body);
            return response;
        }
        if (redirects == kMaxRedirects)
            return std::nullopt;
        const auto target = redirectTarget(h, *answer.location);
        if (!target || !setOption(h, CURLOPT_URL, target->c_str()))
            return std::nullopt;
    }
}

}  // namespace

std::optional<HttpResponse> httpGet(const HttpRequest& request) {
    if (request.timeLimit <= milliseconds::zero())
        throw std::invalid_argument("HTTP time limit must be positive, not " +
                                    std::to_string(request.timeLimit.count()) + " ms");
    std::optional<HttpResponse> response;
    std::exception_ptr failure;
    const bool ran = runInPrivateDescriptorTable([&] {
        try {
            response = exchange(request);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
    return ran ? response : std::nullopt;
}

}  // namespace compat
