#include "compat/net/HttpClient.h"

#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

namespace compat {

namespace {

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

struct Transfer {
    const HttpRequest& request;
    std::string body;
    bool stoppedAtBody = false;
};

std::size_t takeBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (!transfer.request.readBody) {
        transfer.stoppedAtBody = true;
        return 0;
    }
    if (bytes > transfer.request.bodyLimit - transfer.body.size())
        return 0;
    transfer.body.append(data, bytes);
    return bytes;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

std::set<int> openDescriptors() {
    std::set<int> descriptors;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(folder)) {
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(folder))
                descriptors.insert(std::atoi(entry->d_name));
        }
        closedir(folder);
    }
    return descriptors;
}

// A multi handle whose wakeup socket pair, which libcurl opens inheritable,
// is made close-on-exec.
CURLM* newMultiHandle() {
    const auto before = openDescriptors();
    CURLM* multi = curl_multi_init();
    for (const int fd : openDescriptors()) {
        struct stat info;
        const int flags = fcntl(fd, F_GETFD);
        if (!before.count(fd) && flags >= 0 && !(flags & FD_CLOEXEC) && fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode))
            fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
    return multi;
}

// Runs the transfer to its end; its result.
CURLcode perform(CURLM* multi, CURL* handle) {
    if (curl_multi_add_handle(multi, handle) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    CURLMcode state = CURLM_OK;
    while (state == CURLM_OK) {
        state = curl_multi_perform(multi, &running);
        if (state != CURLM_OK || running == 0)
            break;
        state = curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    CURLcode result = CURLE_FAILED_INIT;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle)
            result = message->data.result;
    }
    curl_multi_remove_handle(multi, handle);
    return result;
}
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

std::optional<HttpResponse> httpGet(const HttpRequest& request) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(newMultiHandle());
    if (!handle || !multi)
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
    Transfer transfer{request, {}};
    CURL* const h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeLimit.count()));
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (!request.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    if (request.readBody)
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.bodyLimit));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, takeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);

    const CURLcode result = perform(multi.get(), h);
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.stoppedAtBody))
        return std::nullopt;
    HttpResponse response;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    response.body = std::move(transfer.body);
    return response;
}

}  // namespace compat
