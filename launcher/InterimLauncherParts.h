#pragma once
// Stands in for the tray window and the application threads until they are
// built: a hidden main window whose Exit command (32773), command 105 and
// destruction end the message loop. It shows no icon, starts no application
// and opens URLs through the desktop's opener without reporting failures.

#include "launcher/LauncherParts.h"

class InterimLauncherParts : public LauncherParts {
public:
    bool setUpInstance(LauncherState& state) override;
    bool addTrayIcon(LauncherState&) override { return true; }
    bool startMonitor(LauncherState&) override { return true; }
    void waitForThreads() override {}
    void removeTrayIcon() override {}
    void destroyMenus() override {}
    int openUrl(const std::string& url) override;
};
