#pragma once
// Programs that the desktop starts at the user's logon: entries of the XDG
// autostart folder ("autostart" under the user's configuration folder).

#include <filesystem>
#include <string_view>

namespace compat {

// "<configuration folder>/autostart/<name>.desktop"; empty when the
// configuration folder is unknown.
std::filesystem::path autostartEntryPath(std::string_view name);

// Writes (atomically) an entry that starts `program` with no arguments.
// False when it cannot be written or the path holds a control character.
bool writeAutostartEntry(std::string_view name, const std::filesystem::path& program);

// True when the entry is gone afterwards, also when there was none.
bool removeAutostartEntry(std::string_view name);

// The entry's whole text as writeAutostartEntry writes it.
std::string autostartEntryText(std::string_view name, const std::filesystem::path& program);

}  // namespace compat
