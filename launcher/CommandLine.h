#pragma once
// The launcher's command line: the whole argument text, compared exactly.

#include <cstddef>
#include <string>
#include <string_view>

namespace ovix {

enum class LaunchCommand {
    Start,        // plain start, or with a start URL
    RegServer,    // "/RegServer": turn autostart on, then exit
    UnregServer,  // "/UnregServer": turn autostart off, then exit
    Quit,         // "/quit": make a running instance exit
};

// The longest start URL the launcher keeps, in bytes.
inline constexpr std::size_t kStartUrlCapacity = 2047;

struct CommandLine {
    LaunchCommand command = LaunchCommand::Start;
    std::string startUrl;          // any other non-empty text, verbatim
    std::size_t refusedBytes = 0;  // size of a start URL too long to keep; it is then dropped
};

CommandLine parseCommandLine(std::string_view argumentText);

// The arguments after the program name joined by single blanks, as one text.
std::string argumentText(int argc, char** argv);

}  // namespace ovix
