// MorvaneLaunch: starts, watches and stops the main application.

#include "compat/system/ModulePath.h"
#include "launcher/CommandLine.h"
#include "launcher/LauncherDesktop.h"
#include "launcher/LauncherPeriods.h"
#include "launcher/MorvaneLaunch.h"
#include "launcher/TrayLauncherParts.h"

int main(int argc, char** argv) {
    ovix::LauncherState state;
    state.launcherPath = compat::executablePath();
    state.periods = ovix::readLauncherPeriods();
    ovix::TrayLauncherParts parts;
    const compat::SessionBusDesktop desktop(ovix::launcherDesktopSettings());
    return ovix::runMorvaneLaunch(ovix::argumentText(argc, argv), state, parts);
}
