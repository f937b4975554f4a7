#pragma once
// The pages that scripted browsers load. Tests declare pages by address,
// with a title and the names of their script functions. A "file://" address
// loads the real file: its <title>, and the functions its text defines
// ("function name(") besides those declared for it; a missing or unreadable
// file fails to load. Any other address that is not declared loads an empty
// page titled with its address. Addresses are compared as browsers write
// them (canonicalUrl). Any thread may declare and load.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compat/browser/BrowserExport.h"

namespace compat {

struct LoadedPage {
    std::string title;
    std::vector<std::string> functions;
};

// Declares (or redeclares) the page at `url`.
COMPAT_BROWSER_EXPORT void declarePage(std::string_view url, std::string title,
                                       std::vector<std::string> functions = {});
COMPAT_BROWSER_EXPORT void forgetDeclaredPages();
// The page at `url` as a browser loads it; empty when it cannot be loaded.
std::optional<LoadedPage> loadPage(std::string_view url);
// `url` as a browser writes it: a web address (http, https) whose host has
// no path after it gets "/"; anything else stays as it is.
COMPAT_BROWSER_EXPORT std::string canonicalUrl(std::string_view url);

// The names of the functions that script text defines ("function name(").
std::vector<std::string> scriptFunctionsIn(std::string_view text);
// The function that a line of script code starts by calling ("name("), or
// empty.
std::string calledFunction(std::string_view code);

}  // namespace compat
