#include "launcher/LauncherDesktop.h"

#include "launcher/LauncherIcons.h"
#include "launcher/LauncherLog.h"
#include "launcher/LauncherResources.h"

namespace ovix {

compat::SessionBusDesktop::Settings launcherDesktopSettings() {
    return {.address = "",
            .appName = kWindowTitle,
            .icons = launcherIconImages,
            .report = [](const std::string& what) { launcherLog().write("desktop: %s\n", what.c_str()); }};
}

}  // namespace ovix
