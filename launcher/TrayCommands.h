#pragma once
// Command ids of the tray window (WM_COMMAND); the main application may post
// any of them to the launcher's main thread.

#include <cstdint>

namespace ovix {

inline constexpr std::uintptr_t IDM_ABOUT = 32775;
inline constexpr std::uintptr_t IDM_PAUSE = 32771;
inline constexpr std::uintptr_t IDM_RESUME = 32772;
inline constexpr std::uintptr_t IDM_EXIT = 32773;
inline constexpr std::uintptr_t IDM_LOGONLAUNCH = 32774;
inline constexpr std::uintptr_t IDM_OPEN = 32780;
inline constexpr std::uintptr_t IDM_HELP = 32781;
inline constexpr std::uintptr_t IDM_MESSAGES = 32782;
// Of the window class's menu, which is never shown: "About ..." and "Exit",
// which only destroys the main window.
inline constexpr std::uintptr_t IDM_CLASS_ABOUT = 104;
inline constexpr std::uintptr_t IDM_CLASS_EXIT = 105;
// Every other id from here up is a status report: id - 200 is the status.
inline constexpr std::uintptr_t kFirstStatusCommand = 200;

}  // namespace ovix
