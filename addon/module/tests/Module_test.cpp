// The module as a host program sees it: its exports, and its refusal to
// serve in a host named explorer.exe, in any case.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "addon/browser/AddonClassIds.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using ovix::testing::commandOutput;

TEST(ModuleTest, ExportsOnlyTheFourEntryPoints) {
    std::istringstream listing(commandOutput(std::string("nm -D --defined-only ") + ADDON_MODULE));
    std::set<std::string> names;
    for (std::string line; std::getline(listing, line);)
        names.insert(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                            "DllUnregisterServer"}));
}

// A host whose program is explorer.exe, in any case, gets the code of a
// library that failed to start from the class object and both registration
// entry points, and nothing is written; iexplore.exe is served (and the
// class object that it holds keeps the module loaded).
TEST(ModuleTest, RefusesAHostNamedExplorer) {
    ovix::testing::ScratchFolder scratch;
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    const auto module = scratch / "Vantile.dll";
    fs::copy_file(ADDON_MODULE, module);
    struct Case {
        const char* host;
        const char* answers;  // class object, register, unregister, can unload
    };
    const Case cases[] = {
        {"explorer.exe", "8007045A 8007045A 8007045A 00000000\n"},
        {"Explorer.EXE", "8007045A 8007045A 8007045A 00000000\n"},
        {"iexplore.exe", "00000000 00000000 00000000 00000001\n"},
    };
    for (const auto& c : cases) {
        const auto host = scratch / c.host;
        fs::copy_file(MODULE_HOST, host);
        EXPECT_EQ(commandOutput(host.string() + " " + module.string() + " " + kBarBandClassId.toString()), c.answers)
            << c.host;
        if (std::string(c.host) != "iexplore.exe") {
            EXPECT_FALSE(fs::exists(scratch / "config")) << c.host;
        }
    }
}

}  // namespace

}  // namespace ovix
