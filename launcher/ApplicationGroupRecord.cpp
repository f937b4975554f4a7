#include "launcher/ApplicationGroupRecord.h"

#include <unistd.h>

#include <charconv>

#include "base/FileText.h"
#include "compat/system/ProcessGroup.h"
#include "compat/system/XdgFolders.h"
#include "launcher/LauncherLog.h"

namespace ovix {

namespace {

// "<group> <mark>\n"
std::filesystem::path recordPath() {
    return compat::runtimeFolder() / "application-group";
}

}  // namespace

void recordApplicationGroup(pid_t group, const std::string& mark) {
    replaceFileText(recordPath(), std::to_string(group) + ' ' + mark + '\n');
}

void forgetApplicationGroup() {
    unlink(recordPath().c_str());
}

void endApplicationGroupLeftBehind() {
    const auto text = readFileText(recordPath());
    if (!text)
        return;
    pid_t group = 0;
    const auto [rest, error] = std::from_chars(text->data(), text->data() + text->size(), group);
    const std::string_view tail(rest, static_cast<std::size_t>(text->data() + text->size() - rest));
    if (error == std::errc() && group > 0 && tail.size() > 2 && tail.front() == ' ' && tail.back() == '\n') {
        const auto mark = tail.substr(1, tail.size() - 2);
        if (const auto ended = compat::endMarkedGroupMembers(group, mark))
            launcherLog().write("ended %zu processes that an earlier launcher's application left running\n", ended);
    }
    forgetApplicationGroup();
}

}  // namespace ovix
