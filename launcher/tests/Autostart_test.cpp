#include "launcher/Autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "compat/system/AutostartEntry.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using compat::RegistryHive;
using compat::RegistryKey;

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", m_config.path().c_str(), 1);
        compat::setRegistryRoot(m_config / "registry");
    }
    void TearDown() override { compat::setRegistryRoot({}); }

    RegistryKey runKey(RegistryHive hive) { return *RegistryKey::create(hive, kRunKeyPath); }
    bool entryExists() { return std::filesystem::exists(compat::autostartEntryPath(kAutostartEntry)); }

    ovix::testing::ScratchFolder m_config;
    const std::filesystem::path m_launcher = "/opt/Dastel/MorvaneLaunch.exe";
};

TEST_F(AutostartTest, ValueCountsWhenItHoldsThePathInAnyCase) {
    auto key = runKey(RegistryHive::LocalMachine);
    EXPECT_FALSE(IsAutostartSet(key, m_launcher));
    for (const char* text : {"/opt/Dastel/MorvaneLaunch.exe", "\"/OPT/dastel/morvanelaunch.EXE\" /background"}) {
        ASSERT_TRUE(key.setString(kAutostartValue, text));
        EXPECT_TRUE(IsAutostartSet(key, m_launcher)) << text;
    }
    // Any type; the text ends at its first zero byte.
    ASSERT_TRUE(
        key.set(kAutostartValue, compat::RegistryType::Binary, std::string("x\0/opt/Dastel/MorvaneLaunch.exe", 32)));
    EXPECT_FALSE(IsAutostartSet(key, m_launcher));
    ASSERT_TRUE(key.set(kAutostartValue, compat::RegistryType::Binary, "/opt/Dastel/MorvaneLaunch.exe"));
    EXPECT_TRUE(IsAutostartSet(key, m_launcher));
    ASSERT_TRUE(key.setString(kAutostartValue, "/opt/Other/MorvaneLaunch.exe"));
    EXPECT_FALSE(IsAutostartSet(key, m_launcher));
    // Longer than 260 bytes cannot be read.
    ASSERT_TRUE(key.setString(kAutostartValue, m_launcher.string() + std::string(260, ' ')));
    EXPECT_FALSE(IsAutostartSet(key, m_launcher));
}

TEST_F(AutostartTest, SetAutostartChangesTheValueAndTheEntryTogether) {
    ASSERT_TRUE(SetAutostart(0, m_launcher));
    auto machine = RegistryKey::open(RegistryHive::LocalMachine, kRunKeyPath);
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->query(kAutostartValue)->data, m_launcher.string() + '\0');
    EXPECT_EQ(machine->query(kAutostartValue)->type, compat::RegistryType::String);
    EXPECT_EQ(ovix::testing::readFile(compat::autostartEntryPath(kAutostartEntry)),
              compat::autostartEntryText(kAutostartEntry, m_launcher));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, kRunKeyPath));

    ASSERT_TRUE(SetAutostart(kAutostartSet, m_launcher));
    EXPECT_FALSE(machine->query(kAutostartValue));
    EXPECT_FALSE(entryExists());
    // Nothing left to delete.
    EXPECT_FALSE(SetAutostart(kAutostartSet, m_launcher));

    ASSERT_TRUE(SetAutostart(kAutostartCurrentUser, m_launcher));
    EXPECT_TRUE(RegistryKey::open(RegistryHive::CurrentUser, kRunKeyPath)->query(kAutostartValue));
    EXPECT_TRUE(entryExists());
}

TEST_F(AutostartTest, StartUpReadsTheMachineKeyElseTheUsersAndBringsTheEntryInStep) {
    // No machine key: the user's is used.
    EXPECT_EQ(readAutostartBits(m_launcher), kAutostartCurrentUser);
    ASSERT_TRUE(runKey(RegistryHive::CurrentUser).setString(kAutostartValue, m_launcher.string()));
    EXPECT_EQ(readAutostartBits(m_launcher), kAutostartCurrentUser | kAutostartSet);
    EXPECT_TRUE(entryExists());

    // Once the machine key exists it decides, and the entry follows.
    auto machine = runKey(RegistryHive::LocalMachine);
    EXPECT_EQ(readAutostartBits(m_launcher), 0u);
    EXPECT_FALSE(entryExists());
    ASSERT_TRUE(machine.setString(kAutostartValue, m_launcher.string()));
    EXPECT_EQ(readAutostartBits(m_launcher), kAutostartSet);
    EXPECT_TRUE(entryExists());

    // An entry naming another program is rewritten.
    ASSERT_TRUE(compat::writeAutostartEntry(kAutostartEntry, "/old/place/MorvaneLaunch.exe"));
    readAutostartBits(m_launcher);
    EXPECT_EQ(ovix::testing::readFile(compat::autostartEntryPath(kAutostartEntry)),
              compat::autostartEntryText(kAutostartEntry, m_launcher));
}

TEST_F(AutostartTest, AnUnwritableRunKeyChangesNothing) {
    std::ofstream(m_config / "plain") << "x";
    compat::setRegistryRoot(m_config / "plain" / "registry");
    EXPECT_FALSE(SetAutostart(0, m_launcher));
    EXPECT_FALSE(entryExists());
}

}  // namespace

}  // namespace ovix
