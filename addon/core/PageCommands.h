#pragma once
// The commands that pages of the local web interface give by navigating to
// "morvane:" addresses, which no protocol serves: the helper object, the
// sidebar and the popups catch them, carry them out for the pages they serve
// and cancel them. Every text is compared in the case written here.
// Thread safety: pure functions.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace ovix {

inline constexpr std::string_view kCommandScheme = "morvane:";
// Closes the browser window; a command that begins with it.
inline constexpr std::string_view kCloseCommand = "morvane:close";
// Starts the launcher; the whole address.
inline constexpr std::string_view kStartServerCommand = "morvane:startServer";
// Shows (=1) or hides (=0) a bar; anywhere in a command.
inline constexpr std::string_view kSidebarFlag = "sidebar";
inline constexpr std::string_view kToolbarFlag = "toolbar";

// Whether `url` is a command: it begins with "morvane:".
bool IsPageCommand(std::string_view url);
// 1 when `url` holds `key` followed by "=1" anywhere, else -1 when it holds
// `key` followed by "=0", else 0.
int ParseFlagParam(std::string_view url, std::string_view key);
// The `count` arguments of the first `opening` (such as ":new(") in `url`:
// the texts before each of `count - 1` commas and then before ")", as they
// stand; nothing when `opening` or a separator is missing.
std::optional<std::vector<std::string_view>> CommandArguments(std::string_view url, std::string_view opening,
                                                              std::size_t count);

}  // namespace ovix
