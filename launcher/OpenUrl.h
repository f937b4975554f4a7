#pragma once
// Opening the main application's pages in the user's default browser.

#include <string>

namespace ovix {

// The local web interface of the main application.
inline constexpr const char* kBaseUrl = "http://localhost:10101/";

// Opens `url` in the default browser and gives the shell's result (above 32
// on success). A failure other than 2 and 29 shows a message box that asks
// the user to open the page by hand.
int OpenUrl(const std::string& url);

}  // namespace ovix
