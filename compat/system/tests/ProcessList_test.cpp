#include "compat/system/ProcessList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;

// The ids, in order, of this user's processes whose program file is named
// `name`, as Python finds them.
std::string pythonScan(const std::string& name) {
    return ovix::testing::commandOutput(
        std::string(PYTHON3) +
        " -c 'import os,sys\n"
        "found = []\n"
        "for p in os.listdir(\"/proc\"):\n"
        "    try:\n"
        "        if p.isdigit() and os.stat(\"/proc/\" + p).st_uid == os.geteuid() and "
        "os.path.basename(os.readlink(\"/proc/\" + p + \"/exe\")) == sys.argv[1]: found.append(int(p))\n"
        "    except OSError: pass\n"
        "print(\" \".join(map(str, sorted(found))))' " +
        name);
}

// A program found by its whole file name, as Python finds it, and by no
// shorter, longer or differently cased one; gone once it has ended.
TEST(ProcessList, FindsThisUsersProcessByItsWholeProgramName) {
    ovix::testing::ScratchFolder scratch;
    // Longer than the 15 bytes that the kernel keeps as the process name.
    const std::string name = "ListedProgram-" + std::to_string(getpid()) + ".exe";
    const auto program = scratch / name;
    std::filesystem::copy_file("/bin/sleep", program);
    EXPECT_FALSE(compat::findUserProcess(name));

    auto running = compat::Process::start({.program = program.string(), .arguments = {"60"}});
    ASSERT_TRUE(running);
    ASSERT_TRUE(ovix::testing::eventually([&] { return pythonScan(name) == std::to_string(running->pid()) + "\n"; }));
    const auto found = compat::findUserProcess(name);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pid(), running->pid());
    for (const std::string& other : {name.substr(0, 15), name.substr(0, name.size() - 1), name + "x",
                                     std::string("listedProgram-") + name.substr(14), std::string("sleep")}) {
        const auto wrong = compat::findUserProcess(other);
        EXPECT_TRUE(!wrong || wrong->pid() != running->pid()) << other;
    }

    running->terminate();
    ASSERT_TRUE(running->wait(10s));
    EXPECT_FALSE(compat::findUserProcess(name));
    EXPECT_EQ(pythonScan(name), "\n");
}

}  // namespace
