#pragma once
// Opens a document or URL with the user's preferred application, through the
// desktop's opener "xdg-open" (looked up in PATH).

#include <string_view>

namespace compat {

// Result codes in the shell's convention: above 32 on success.
inline constexpr int kShellOpened = 42;
inline constexpr int kShellOpenerMissing = 2;  // the opener could not be started
inline constexpr int kShellNoHandler = 31;     // the opener ran but opened nothing

// Waits up to 10 s for the opener's answer; an opener still running then is
// taken as showing the target.
int shellOpen(std::string_view target);

}  // namespace compat
