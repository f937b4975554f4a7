// A module that starts threads the add-on's way, for the tests of what a
// running thread does to its module: each one waits for a byte on the pipe it
// is given.

#include <unistd.h>

#include <cerrno>
#include <memory>

#include "addon/core/server/AddonThreads.h"
#include "compat/com/ComResult.h"
#include "compat/com/ModuleUsage.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int waitForByte(int fd) {
    char byte;
    while (read(fd, &byte, 1) < 0 && errno == EINTR) {
    }
    return 0;
}

}  // namespace

MODULE_EXPORT void StartWaitingThread(int fd) {
    ovix::StartThread(std::make_unique<ovix::Thread1<int (*)(int), int>>(&waitForByte, fd)).detach();
}

MODULE_EXPORT compat::HRESULT DllCanUnloadNow() {
    return compat::moduleCanUnload() ? compat::S_OK : compat::S_FALSE;
}
