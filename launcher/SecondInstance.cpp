#include "launcher/SecondInstance.h"

#include <chrono>
#include <thread>

#include "launcher/LauncherRegistry.h"
#include "launcher/TrayCommands.h"

namespace ovix {

namespace {

int askRunningInstanceToQuit(std::chrono::milliseconds retry) {
    const auto key = openLauncherKey();
    if (!key)
        return 1;
    const auto thread = key->queryDword(kThreadIdValue);
    if (!thread)
        return 1;
    for (int attempt = 0; attempt < 10; ++attempt) {
        compat::PostThreadMessage(*thread, compat::WM_COMMAND, IDM_EXIT, 0);
        std::this_thread::sleep_for(retry);
        if (!key->queryDword(kThreadIdValue))
            break;
    }
    return key->queryDword(kThreadIdValue) ? 1 : 0;
}

}  // namespace

int runSecondInstance(LauncherState& state, LauncherParts& parts) {
    if (state.quit)
        return askRunningInstanceToQuit(state.periods.quitRetry);
    if (!state.startUrl.empty()) {
        const auto key = openLauncherKey();
        if (key && key->query(kReadyValue))
            parts.openUrl(state.startUrl);
    }
    return 0;
}

}  // namespace ovix
