#pragma once
// The launcher's waits, read once at start: the standard periods, or those
// that a test sets in OVIX_PERIODS (base/PeriodSettings.h) as "quit-grace",
// "watchdog" and "quit-retry".

#include <chrono>

namespace ovix {

struct LauncherPeriods {
    // How long the application has to end after it was told to quit.
    std::chrono::milliseconds quitGrace{5000};
    // How often the watchdog looks at the application's memory.
    std::chrono::milliseconds watchdog{10000};
    // How long "/quit" waits after each Exit command it posts.
    std::chrono::milliseconds quitRetry{500};
};

LauncherPeriods readLauncherPeriods();

}  // namespace ovix
