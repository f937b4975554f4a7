// A host program for tests: loads the component module named on its command
// line as a host does and prints, in hexadecimal on one line, what its class
// object for the class id given second, DllRegisterServer,
// DllUnregisterServer and DllCanUnloadNow answer.

#include <cstdio>
#include <exception>

#include "compat/com/ComModule.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <module> <class id>\n", argv[0]);
        return 2;
    }
    try {
        const compat::ComModule module(argv[1]);
        void* factory = nullptr;
        const auto classObject = module.getClassObject(compat::Guid::parse(argv[2]), compat::ClassFactory::kId, &factory);
        const auto registered = module.registerServer();
        const auto unregistered = module.unregisterServer();
        std::printf("%08X %08X %08X %08X\n", static_cast<unsigned>(classObject), static_cast<unsigned>(registered),
                    static_cast<unsigned>(unregistered), static_cast<unsigned>(module.canUnloadNow()));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
