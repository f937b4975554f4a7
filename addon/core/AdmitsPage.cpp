#include "addon/core/AdmitsPage.h"

#include <optional>

#include "base/Ascii.h"

namespace ovix {

namespace {

struct Address {
    std::string_view scheme;
    std::string_view host;
    // -1 when none is written and the scheme has no default.
    int port;
    // The path, without query and fragment.
    std::string_view path;
    // The path with query and fragment.
    std::string_view rest;
};

bool isSchemeChar(char c) {
    return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
}

// A host name, or the inside of "[...]" when `literal` (an IPv6 address).
bool isHostText(std::string_view host, bool literal) {
    for (const char c : host) {
        const bool allowed = literal
                                 ? asciiHexValue(c) >= 0 || c == ':' || c == '.'
                                 : isAsciiAlpha(c) || isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
        if (!allowed)
            return false;
    }
    return !host.empty();
}

std::optional<int> portOf(std::string_view digits, std::string_view scheme) {
    if (digits.empty()) {
        if (asciiEqualNoCase(scheme, "http"))
            return 80;
        if (asciiEqualNoCase(scheme, "https"))
            return 443;
        return -1;
    }
    if (digits.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const char c : digits) {
        if (!isAsciiDigit(c))
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? std::optional(port) : std::nullopt;
}

// "." or "..", also with their dots written as "%2e".
bool isDotSegment(std::string_view segment) {
    std::size_t dots = 0;
    while (!segment.empty()) {
        if (segment.front() == '.') {
            segment.remove_prefix(1);
        } else if (asciiStartsWithNoCase(segment, "%2e")) {
            segment.remove_prefix(3);
        } else {
            return false;
        }
        ++dots;
    }
    return dots == 1 || dots == 2;
}

bool hasDotSegment(std::string_view path) {
    while (!path.empty()) {
        path.remove_prefix(1);  // the "/" before each segment
        const auto end = path.find('/');
        if (isDotSegment(path.substr(0, end)))
            return true;
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
    }
    return false;
}

std::optional<Address> parse(std::string_view url) {
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '\\')
            return std::nullopt;
    }
    const auto separator = url.find("://");
    if (separator == std::string_view::npos || separator == 0 || !isAsciiAlpha(url.front()))
        return std::nullopt;
    Address address{};
    address.scheme = url.substr(0, separator);
    for (const char c : address.scheme) {
        if (!isSchemeChar(c))
            return std::nullopt;
    }
    const auto afterScheme = url.substr(separator + 3);
    const auto authorityEnd = afterScheme.find_first_of("/?#");
    const auto authority = afterScheme.substr(0, authorityEnd);
    address.rest = authorityEnd == std::string_view::npos ? std::string_view() : afterScheme.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        return std::nullopt;
    std::string_view portText;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || !isHostText(authority.substr(1, close - 1), true))
            return std::nullopt;
        address.host = authority.substr(0, close + 1);
        portText = authority.substr(close + 1);
    } else {
        address.host = authority.substr(0, authority.find(':'));
        if (!isHostText(address.host, false))
            return std::nullopt;
        portText = authority.substr(address.host.size());
    }
    if (!portText.empty() && portText.front() != ':')
        return std::nullopt;
    const auto port = portOf(portText.empty() ? portText : portText.substr(1), address.scheme);
    if (!port)
        return std::nullopt;
    address.port = *port;
    address.path = address.rest.substr(0, address.rest.find_first_of("?#"));
    if (hasDotSegment(address.path))
        return std::nullopt;
    return address;
}

}  // namespace

bool AdmitsPage(std::string_view homepageUrl, std::string_view pageUrl) {
    const auto home = parse(homepageUrl);
    const auto page = parse(pageUrl);
    if (!home || !page || home->scheme != page->scheme || home->host != page->host || home->port != page->port ||
        !page->rest.starts_with(home->path))
        return false;
    if (home->path.empty() || home->path.ends_with('/') || page->rest.size() == home->path.size())
        return true;
    const char next = page->rest[home->path.size()];
    return next == '/' || next == '?' || next == '#';
}

}  // namespace ovix
