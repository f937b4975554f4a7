#include "compat/store/RegistryKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/ScratchFolder.h"

namespace {

using compat::RegistryHive;
using compat::RegistryKey;
using compat::RegistryType;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { compat::setRegistryRoot(m_root / "registry"); }
    void TearDown() override { compat::setRegistryRoot({}); }
    ovix::testing::ScratchFolder m_root;
};

TEST_F(RegistryTest, KeyAndValueNamesIgnoreCase) {
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\Dastel\\MorvaneLaunch"));
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel\\MorvaneLaunch");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->setDword("ThreadId", 4242));
    auto same = RegistryKey::open(RegistryHive::CurrentUser, "SOFTWARE\\dastel\\morvaneLAUNCH");
    ASSERT_TRUE(same);
    EXPECT_EQ(same->queryDword("THREADID"), 4242u);
    ASSERT_TRUE(same->setDword("threadid", 7));
    EXPECT_EQ(key->queryDword("ThreadId"), 7u);
    // The hives are apart.
    EXPECT_FALSE(RegistryKey::open(RegistryHive::LocalMachine, "Software\\Dastel\\MorvaneLaunch"));
    // Names that are not plain letters still make distinct keys.
    auto odd = RegistryKey::create(RegistryHive::CurrentUser, "Software\\a/b\\%values\\..");
    ASSERT_TRUE(odd);
    ASSERT_TRUE(odd->setString("x", "y"));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\a"));
    // Listed back by name, subkeys in lower case, values as first written.
    ASSERT_TRUE(odd->setString("Second", "z"));
    EXPECT_EQ(RegistryKey::open(RegistryHive::CurrentUser, "Software")->subkeyNames(),
              (std::vector<std::string>{"a/b", "dastel"}));
    EXPECT_EQ(RegistryKey::open(RegistryHive::CurrentUser, "Software\\a/b")->subkeyNames(),
              std::vector<std::string>{"%values"});
    EXPECT_EQ(odd->valueNames(), (std::vector<std::string>{"x", "Second"}));
    EXPECT_TRUE(odd->subkeyNames().empty());
    for (const char* bad : {"", "\\Software", "Software\\", "Software\\\\Dastel"})
        EXPECT_FALSE(RegistryKey::create(RegistryHive::CurrentUser, bad)) << bad;
}

TEST_F(RegistryTest, ValuesOfEachTypeKeepTheirTypeAndBytes) {
    auto key = RegistryKey::create(RegistryHive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    ASSERT_TRUE(key);
    const std::string binary("\0\n1 2 3\n\xff", 9);
    const struct {
        const char* name;
        RegistryType type;
        std::string data;
    } values[] = {
        {"Dastel", RegistryType::String, std::string("/opt/m/MorvaneLaunch.exe\0", 25)},
        {"Expand", RegistryType::ExpandString, std::string("$HOME/x\0", 8)},
        {"Blob", RegistryType::Binary, binary},
        {"Count", RegistryType::Dword, std::string("\x01\x02\x03\x04", 4)},
        {"Multi", RegistryType::MultiString, std::string("a\0b\0\0", 5)},
        {"Big", RegistryType::Qword, std::string("12345678", 8)},
        {"Empty", RegistryType::None, ""},
    };
    for (const auto& v : values)
        ASSERT_TRUE(key->set(v.name, v.type, v.data)) << v.name;
    for (const auto& v : values) {
        auto got = key->query(v.name);
        ASSERT_TRUE(got) << v.name;
        EXPECT_EQ(got->type, v.type) << v.name;
        EXPECT_EQ(got->data, v.data) << v.name;
    }
    EXPECT_EQ(key->queryDword("Count"), 0x04030201u);
    EXPECT_FALSE(key->queryDword("Big"));
    ASSERT_TRUE(key->setString("Count", "now text"));
    EXPECT_EQ(key->query("count")->type, RegistryType::String);
    EXPECT_EQ(key->query("count")->data, std::string("now text\0", 9));
    EXPECT_TRUE(key->remove("BLOB"));
    EXPECT_FALSE(key->remove("Blob"));
    EXPECT_FALSE(key->query("Blob"));
    EXPECT_TRUE(key->query("Multi"));
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubkeysAndStaleHandlesFail) {
    auto parent = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel");
    auto child = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel\\MorvaneLaunch\\Deeper");
    ASSERT_TRUE(parent && child);
    ASSERT_TRUE(parent->setDword("a", 1));
    ASSERT_TRUE(child->setDword("b", 2));
    auto sibling = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Other");
    ASSERT_TRUE(sibling && sibling->setDword("c", 3));

    EXPECT_TRUE(RegistryKey::removeTree(RegistryHive::CurrentUser, "software\\DASTEL"));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\Dastel"));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\Dastel\\MorvaneLaunch\\Deeper"));
    EXPECT_FALSE(child->setDword("b", 3));
    EXPECT_FALSE(child->query("b"));
    EXPECT_FALSE(RegistryKey::removeTree(RegistryHive::CurrentUser, "Software\\Dastel"));
    EXPECT_EQ(sibling->queryDword("c"), 3u);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Shared");
    ASSERT_TRUE(key);
    constexpr int kEach = 60;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = key->setDword("w" + std::to_string(w) + "-" + std::to_string(i), i) && ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t writer : writers) {
        int status = 0;
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(key->queryDword("w" + std::to_string(w) + "-" + std::to_string(i)), unsigned(i));
    }
}

TEST_F(RegistryTest, AWriteThatCannotHappenIsReportedAndLosesNothing) {
    // A plain file where the root's folder should be.
    std::ofstream(m_root / "file") << "x";
    compat::setRegistryRoot(m_root / "file" / "registry");
    EXPECT_FALSE(RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel"));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\Dastel"));

    // A plain file in place of a key's folder.
    compat::setRegistryRoot(m_root / "registry");
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel");
    ASSERT_TRUE(key && key->setDword("kept", 1));
    std::ofstream(m_root / "registry" / "HKEY_CURRENT_USER" / "software" / "blocked") << "x";
    EXPECT_FALSE(RegistryKey::create(RegistryHive::CurrentUser, "Software\\Blocked\\Below"));

    // A damaged values file is neither read nor overwritten.
    const auto values = m_root / "registry" / "HKEY_CURRENT_USER" / "software" / "dastel" / "%values";
    const std::string damaged = ovix::testing::readFile(values) + "4 9 4\nunfinished";
    std::ofstream(values, std::ios::binary | std::ios::trunc) << damaged;
    EXPECT_FALSE(key->query("kept"));
    EXPECT_FALSE(key->setDword("new", 2));
    EXPECT_EQ(ovix::testing::readFile(values), damaged);
}

}  // namespace

// A pipe as the values file once hung every reader of the key; the read runs
// in a child that an alarm ends.
TEST_F(RegistryTest, APipeAsTheValuesFileIsNeverWaitedOn) {
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel");
    ASSERT_TRUE(key && key->setDword("kept", 1));
    const auto values = m_root / "registry" / "HKEY_CURRENT_USER" / "software" / "dastel" / "%values";
    std::filesystem::remove(values);
    ASSERT_EQ(mkfifo(values.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            alarm(30);
            std::exit(key->query("kept") ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}
