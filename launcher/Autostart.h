#pragma once
// Whether the launcher starts at the user's logon. The value "Dastel" of a
// Run key holds the launcher's path; the desktop's autostart entry
// "MorvaneLaunch" is kept in step with it.

#include <filesystem>

#include "compat/store/RegistryKey.h"

namespace ovix {

// Autostart bits of the launcher's state.
inline constexpr unsigned kAutostartSet = 1;          // the value is there and names this launcher
inline constexpr unsigned kAutostartCurrentUser = 4;  // the Run key of the current user is the one in use

inline constexpr const char* kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kAutostartValue = "Dastel";
inline constexpr const char* kAutostartEntry = "MorvaneLaunch";

// True when the value "Dastel" of `runKey` (at most 260 bytes, any type, up
// to its first zero byte) contains `launcherPath`, compared without regard to
// case; false when the value is missing or longer.
bool IsAutostartSet(const compat::RegistryKey& runKey, const std::filesystem::path& launcherPath);

// With kAutostartSet in `bits` deletes the value, else writes it (string,
// the launcher's path), in the current user's Run key when
// kAutostartCurrentUser is in `bits`, else the machine's; the autostart entry
// follows. False when the key cannot be opened or a change fails.
bool SetAutostart(unsigned bits, const std::filesystem::path& launcherPath);

// The bits at start-up: the machine's Run key when it can be read, else the
// current user's (with kAutostartCurrentUser). Brings the autostart entry in
// step with the result.
unsigned readAutostartBits(const std::filesystem::path& launcherPath);

}  // namespace ovix
