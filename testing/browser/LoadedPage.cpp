#include "testing/browser/LoadedPage.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "base/Ascii.h"
#include "base/FileText.h"

namespace compat::testing {

namespace {

constexpr std::string_view kFileScheme = "file://";

struct Declarations {
    std::mutex mutex;
    std::map<std::string, LoadedPage> pages;
};

Declarations& declarations() {
    static auto* d = new Declarations;
    return *d;
}

std::optional<LoadedPage> declared(const std::string& url) {
    auto& d = declarations();
    std::lock_guard lock(d.mutex);
    auto found = d.pages.find(url);
    if (found == d.pages.end())
        return std::nullopt;
    return found->second;
}

// The path of a "file://" address ("file:///x" or "file://localhost/x"),
// %XX decoded; empty when it names no local absolute path.
std::string filePath(std::string_view url) {
    std::string_view rest = url.substr(kFileScheme.size());
    if (ovix::asciiStartsWithNoCase(rest, "localhost/"))
        rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/')
        return {};
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && ovix::asciiHexValue(rest[i + 1]) >= 0 &&
            ovix::asciiHexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(ovix::asciiHexValue(rest[i + 1]) * 16 + ovix::asciiHexValue(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return path;
}

// The text between <title> and </title>, blanks around it trimmed.
std::string titleOf(const std::string& html) {
    std::string lower(html);
    std::transform(lower.begin(), lower.end(), lower.begin(), ovix::asciiToLower);
    const auto open = lower.find("<title");
    const auto start = open == std::string::npos ? open : lower.find('>', open);
    const auto end = start == std::string::npos ? start : lower.find("</title", start);
    if (end == std::string::npos)
        return {};
    const auto first = html.find_first_not_of(" \t\r\n", start + 1);
    const auto last = html.find_last_not_of(" \t\r\n", end - 1);
    return first == std::string::npos || first >= end ? std::string() : html.substr(first, last - first + 1);
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// The name at `at` when a "(" follows it (blanks between); empty otherwise.
std::string nameCalledAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && isNameCharacter(text[end]))
        ++end;
    const std::size_t open = text.find_first_not_of(" \t\r\n", end);
    if (end == at || (text[at] >= '0' && text[at] <= '9') || open == std::string_view::npos || text[open] != '(')
        return {};
    return std::string(text.substr(at, end - at));
}

}  // namespace

void declarePage(std::string_view url, std::string title, std::vector<std::string> functions) {
    auto& d = declarations();
    std::lock_guard lock(d.mutex);
    d.pages[canonicalUrl(url)] = LoadedPage{std::move(title), std::move(functions)};
}

void forgetDeclaredPages() {
    auto& d = declarations();
    std::lock_guard lock(d.mutex);
    d.pages.clear();
}

std::optional<LoadedPage> loadPage(std::string_view requested) {
    const std::string url = canonicalUrl(requested);
    auto page = declared(url);
    if (!ovix::asciiStartsWithNoCase(url, kFileScheme)) {
        if (!page)
            page = LoadedPage{url, {}};
        return page;
    }
    const std::string path = filePath(url);
    const auto text = path.empty() ? std::nullopt : ovix::readFileText(path);
    if (!text)
        return std::nullopt;
    LoadedPage file{titleOf(*text), scriptFunctionsIn(*text)};
    if (file.title.empty())
        file.title = url;
    if (page)
        file.functions.insert(file.functions.end(), page->functions.begin(), page->functions.end());
    return file;
}

std::string canonicalUrl(std::string_view url) {
    std::string text(url);
    const auto scheme = text.find("://");
    if (scheme == std::string::npos)
        return text;
    const std::string_view name = std::string_view(text).substr(0, scheme);
    if (!ovix::asciiEqualNoCase(name, "http") && !ovix::asciiEqualNoCase(name, "https"))
        return text;
    const auto pathStart = text.find_first_of("/?#", scheme + 3);
    if (pathStart == std::string::npos)
        text += '/';
    else if (text[pathStart] != '/')
        text = text.substr(0, pathStart) + '/' + text.substr(pathStart);
    return text;
}

std::vector<std::string> scriptFunctionsIn(std::string_view text) {
    constexpr std::string_view keyword = "function";
    std::vector<std::string> names;
    for (auto at = text.find(keyword); at != std::string_view::npos; at = text.find(keyword, at + 1)) {
        const bool wordStart = at == 0 || !isNameCharacter(text[at - 1]);
        const std::size_t name = text.find_first_not_of(" \t\r\n", at + keyword.size());
        if (!wordStart || name == std::string_view::npos || name == at + keyword.size())
            continue;
        if (auto called = nameCalledAt(text, name); !called.empty())
            names.push_back(std::move(called));
    }
    return names;
}

std::string calledFunction(std::string_view code) {
    const std::size_t start = code.find_first_not_of(" \t\r\n");
    return start == std::string_view::npos ? std::string() : nameCalledAt(code, start);
}

}  // namespace compat::testing
