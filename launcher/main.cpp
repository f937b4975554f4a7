// MorvaneLaunch: starts, watches and stops the main application.

#include "compat/system/ModulePath.h"
#include "launcher/CommandLine.h"
#include "launcher/MorvaneLaunch.h"
#include "launcher/TrayLauncherParts.h"

int main(int argc, char** argv) {
    LauncherState state;
    state.launcherPath = compat::executablePath();
    TrayLauncherParts parts;
    return runMorvaneLaunch(argumentText(argc, argv), state, parts);
}
