#include "launcher/AppRunner.h"

#include <algorithm>
#include <cerrno>

#include "compat/ipc/MessageWindow.h"
#include "compat/system/SystemError.h"
#include "launcher/ApplicationGroupRecord.h"
#include "launcher/ConfigUrl.h"
#include "launcher/LauncherLog.h"
#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

namespace {

// Waits for the child's end, ends what it left in its group, frees its queue
// name when it was killed before it could, and collects it.
void collect(compat::Process& child) {
    compat::waitForAny({&child});
    child.endGroup();
    compat::removeQueueOfDeadThread(static_cast<compat::ThreadId>(child.pid()));
    child.wait();
}

// What marks the processes that this launcher started, and what they start.
std::string parentProcessEntry() {
    return "ParentProcessId=" + std::to_string(compat::currentProcessId());
}

}  // namespace

std::vector<std::string> applicationArguments(const std::filesystem::path& folder) {
    const auto url = readConfigUrl(folder / kConfigFile);
    if (!url)
        return {};
    if (url->size() > kConfigUrlCapacity) {
        launcherLog().write("ConfigUrl of %zu bytes refused: the limit is %zu bytes\n", url->size(),
                            kConfigUrlCapacity);
        return {};
    }
    if (url->empty())
        return {"-c"};
    return {"-c", *url};
}

std::vector<std::string> applicationEnvironment(compat::ThreadId mainThread) {
    auto environment = compat::currentEnvironment();
    std::erase_if(environment, [](const std::string& entry) {
        return entry.starts_with("ParentProcessId=") || entry.starts_with("ParentThreadId=");
    });
    environment.push_back(parentProcessEntry());
    environment.push_back("ParentThreadId=" + std::to_string(mainThread));
    return environment;
}

void AppRunnerThreadProc(const RunnerContext& context) {
    LauncherState& state = context.state;
    bool startFailed = false;
    for (;;) {
        // The launcher's folder, made current and read back.
        std::error_code error;
        std::filesystem::current_path(state.launcherPath.parent_path(), error);
        const auto folder = std::filesystem::current_path(error);
        const compat::ProcessStart request{
            .program = (folder / kApplicationProgram).string(),
            .arguments = applicationArguments(folder),
            .environment = applicationEnvironment(state.mainThreadId),
            .workingFolder = folder,
            .ownGroup = true,
            .endsWithStartingThread = true,
        };
        const auto child = context.application.startChild([&] { return compat::Process::start(request); });
        if (!child) {
            const int startError = errno;
            launcherLog().write("cannot start: %s: %s\n", request.program.c_str(),
                                compat::systemErrorText(startError).c_str());
            startFailed = true;
            break;
        }
        recordApplicationGroup(child->pid(), parentProcessEntry());
        const auto primaryThread = static_cast<compat::ThreadId>(child->pid());
        compat::waitForThreadQueue(primaryThread, *child, kReadyWait);
        compat::PostThreadMessage(primaryThread, compat::WM_USER, PLATFORM_TMSG_RESUME, 0);

        const auto first = compat::waitForAny({child.get(), &state.stopRequested, &context.monitorEnded});
        const bool stopping = state.stopRequested.isSet() || context.monitorEnded.isSet();
        if (first == 0 && !stopping) {
            collect(*child);
            context.application.forgetChild();
            if (++state.restartCount < kStartsWithoutReport)
                continue;
            break;
        }
        // The launcher is shutting down and has told the application to
        // quit; told before it had its queue, it did not hear it, so it is
        // told again once it can hear.
        const auto deadline = std::chrono::steady_clock::now() + state.periods.quitGrace;
        if (compat::waitForThreadQueue(state.app.threadId, *child, state.periods.quitGrace))
            compat::PostThreadMessage(state.app.threadId, compat::WM_USER, PLATFORM_TMSG_QUIT, 0);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!compat::waitForAny({child.get()}, std::max(left, std::chrono::milliseconds(0))))
            child->terminate();
        collect(*child);
        context.application.forgetChild();
        break;
    }
    forgetApplicationGroup();
    // Given up: the monitor's end ends the launcher, with the code it is given.
    if (startFailed)
        compat::PostThreadMessage(context.monitorThread, compat::WM_QUIT, kCannotStartExitCode, 0);
    else if (state.restartCount == kStartsWithoutReport)
        compat::PostThreadMessage(context.monitorThread, compat::WM_QUIT, 0, 0);
    else
        compat::PostMessage(state.mainWindow, compat::WM_CLOSE, 0, 0);
    compat::waitForAny({&context.monitorEnded});
}

}  // namespace ovix
