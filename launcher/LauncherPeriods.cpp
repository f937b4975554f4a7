#include "launcher/LauncherPeriods.h"

#include "base/PeriodSettings.h"

namespace ovix {

LauncherPeriods readLauncherPeriods() {
    const LauncherPeriods standard;
    return {.quitGrace = periodSetting("quit-grace", standard.quitGrace),
            .watchdog = periodSetting("watchdog", standard.watchdog),
            .quitRetry = periodSetting("quit-retry", standard.quitRetry)};
}

}  // namespace ovix
