#include "launcher/CommandLine.h"

namespace ovix {

CommandLine parseCommandLine(std::string_view text) {
    CommandLine line;
    if (text == "/RegServer")
        line.command = LaunchCommand::RegServer;
    else if (text == "/UnregServer")
        line.command = LaunchCommand::UnregServer;
    else if (text == "/quit")
        line.command = LaunchCommand::Quit;
    else if (text.size() > kStartUrlCapacity)
        line.refusedBytes = text.size();
    else
        line.startUrl = text;
    return line;
}

std::string argumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}

}  // namespace ovix
