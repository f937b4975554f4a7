#include "compat/system/AutostartEntry.h"

#include <cerrno>
#include <string>

#include "base/FileText.h"
#include "compat/system/XdgFolders.h"

namespace compat {

namespace {

namespace fs = std::filesystem;

// One argument of an Exec line: quoted, with the quoting escapes, then the
// string escapes (backslashes doubled) and the field-code escape ("%%").
std::string execArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

bool hasControlCharacter(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

}  // namespace

fs::path autostartEntryPath(std::string_view name) {
    const auto config = configHome();
    if (config.empty())
        return {};
    return config / "autostart" / (std::string(name) + ".desktop");
}

std::string autostartEntryText(std::string_view name, const fs::path& program) {
    return "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\nExec=" + execArgument(program.string()) +
           "\nTerminal=false\n";
}

bool writeAutostartEntry(std::string_view name, const fs::path& program) {
    const auto path = autostartEntryPath(name);
    if (path.empty() || hasControlCharacter(program.string()) || hasControlCharacter(std::string(name)))
        return false;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error)
        return false;
    return ovix::replaceFileText(path, autostartEntryText(name, program));
}

bool removeAutostartEntry(std::string_view name) {
    const auto path = autostartEntryPath(name);
    if (path.empty())
        return false;
    std::error_code error;
    fs::remove(path, error);
    return !error;
}

}  // namespace compat
