#pragma once
// The thread messages between the launcher and the main application. Every
// one is WM_USER with its code in the word parameter and its argument in the
// long parameter; ids wider than 16 bits travel as two halves.

#include <cstdint>

namespace ovix {

inline constexpr std::uint32_t PLATFORM_TMSG_QUIT = 0xFD00;       // to the application: stop
inline constexpr std::uint32_t PLATFORM_TMSG_RESUME = 0xFD01;     // to the application: start or resume work
inline constexpr std::uint32_t PLATFORM_TMSG_PAUSE = 0xFD02;      // to the application: pause work
inline constexpr std::uint32_t PLATFORM_TMSG_IMMSG = 0xFD03;      // inside the application: a chat message is queued
inline constexpr std::uint32_t PLATFORM_TMSG_TID_LO = 0xFF03;     // to the launcher: low half of the command thread id
inline constexpr std::uint32_t PLATFORM_TMSG_TID_HI = 0xFF04;     // to the launcher: high half of that id
inline constexpr std::uint32_t PLATFORM_TMSG_TARGET_LO = 0xFF05;  // to the application: low byte of its status target
inline constexpr std::uint32_t PLATFORM_TMSG_TARGET_HI = 0xFF06;  // to the application: second byte of that target
inline constexpr std::uint32_t PLATFORM_TMSG_PID_LO = 0xFF07;     // to the launcher: low half of the process id
inline constexpr std::uint32_t PLATFORM_TMSG_PID_HI = 0xFF08;     // to the launcher: high half of that id
// To the launcher: a status report, base + 0 online, 1 offline, 2 new messages.
inline constexpr std::uint32_t PLATFORM_STATUS_BASE = 200;

}  // namespace ovix
