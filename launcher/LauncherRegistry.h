#pragma once
// The launcher's own registry key, which tells other processes its main
// thread ("ThreadId") and whether the main application has reported since it
// started ("Ready"). Only the running first instance writes them.

#include <optional>

#include "compat/store/RegistryKey.h"

namespace ovix {

inline constexpr const char* kLauncherKeyPath = "Software\\Dastel\\MorvaneLaunch";
inline constexpr const char* kThreadIdValue = "ThreadId";
inline constexpr const char* kReadyValue = "Ready";

// The key of the current user, when it exists.
inline std::optional<compat::RegistryKey> openLauncherKey() {
    return compat::RegistryKey::open(compat::RegistryHive::CurrentUser, kLauncherKeyPath);
}

}  // namespace ovix
