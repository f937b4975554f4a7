#pragma once
// The launcher's own registry key, which tells other processes its main
// thread ("ThreadId") and whether the main application has reported since it
// started ("Ready"). Only the running first instance writes them. Safe to
// use from every launcher thread.

#include <cstdint>
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

// Writes `name` = `value` into `key`; a failure, a missing key included, is
// logged with its reason.
void writeLauncherValue(const std::optional<compat::RegistryKey>& key, const char* name, std::uint32_t value);

// From now on every values file of the registry that is moved aside because
// it could not be read is named in the log.
void logRegistryRepairs();

}  // namespace ovix
