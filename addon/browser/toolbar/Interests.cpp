#include "addon/browser/toolbar/Interests.h"

#include "addon/core/SplitUrl.h"
#include "addon/core/coding/Base64.h"
#include "addon/core/coding/CURLEncode.h"
#include "base/LeadingInt.h"
#include "compat/net/HttpClient.h"

namespace ovix {

namespace {

constexpr std::string_view kUserAgent = "Web Service Client";

}  // namespace

std::vector<InterestEntry> Interests::Parse(std::string_view text) {
    std::vector<InterestEntry> entries;
    if (text.size() <= 2 || text.front() != '{' || text.back() != '}')
        return entries;
    std::string_view rest = text.substr(1, text.size() - 2);
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view piece = rest.substr(0, comma);
        if (const std::size_t colon = piece.find(':'); colon != std::string_view::npos) {
            const std::size_t first = colon + 2;
            const std::size_t end = piece.size() - 1;
            entries.push_back({leadingInt(piece.substr(0, colon)),
                               first < end ? std::string(piece.substr(first, end - first)) : std::string()});
        }
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return entries;
}

void Interests::Fetch(const std::string& listUrl) {
    m_entries.clear();
    std::string host, path;
    int port = 80;
    SplitUrl(listUrl, host, port, path);
    const auto response =
        compat::httpGet({.url = "http://" + host + ":" + std::to_string(port) + (path.empty() ? "/" : path),
                         .userAgent = std::string(kUserAgent)});
    if (response && response->status == 200)
        m_entries = Parse(CURLEncode::Decode(response->body));
}

int Interests::IdOf(std::string_view name) const {
    for (const auto& entry : m_entries) {
        if (TextFromBase64(entry.name) == name)
            return entry.id;
    }
    return 0;
}

}  // namespace ovix
