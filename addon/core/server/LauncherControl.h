#pragma once
// The add-on's hold on the launcher MorvaneLaunch: finding it among this
// user's processes, and starting it from the folder that its installation
// recorded in the registry store. Any thread may call these.

#include <optional>
#include <string>
#include <string_view>

#include "compat/system/Process.h"

namespace ovix {

// The launcher's program file, and the mutex that a running launcher holds.
inline constexpr std::string_view kLauncherProgram = "MorvaneLaunch.exe";
inline constexpr std::string_view kLauncherMutex = "DastelIconSI";
// Where the installation recorded its folder: HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kInstallKey = "SOFTWARE\\Dastel\\Morvane";
inline constexpr std::string_view kInstallDirectoryValue = "Directory";
// The address the launcher is started with.
inline constexpr std::string_view kLauncherStartUrl = "http://localhost:10101";

// The first process of this user whose program file is named `program`
// exactly, opened; empty when none runs.
std::optional<compat::Process> FindLauncherProcess(std::string_view program = kLauncherProgram);

// The "Directory" value, whole up to its first zero byte; empty when the key
// or the value is missing.
std::string ReadInstallDirectory();

// Starts "<Directory>/MorvaneLaunch.exe" with the one argument
// "http://localhost:10101", in the caller's folder and environment, with no
// descriptor but 0 to 2, and lets it run on its own. Nothing is started when
// the directory is missing, empty or not absolute. True when it started.
bool StartLauncher();

}  // namespace ovix
