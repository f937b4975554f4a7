#include "compat/store/RegistryKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testing/ScratchFolder.h"

namespace {

using compat::RegistryHive;
using compat::RegistryKey;
using compat::RegistryType;
namespace fs = std::filesystem;

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

TEST_F(RegistryTest, AWriteThatCannotHappenIsReported) {
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
}

TEST_F(RegistryTest, AnUnusableValuesFileIsMovedAsideAndTheKeyStartsAfresh) {
    std::vector<std::pair<std::string, std::string>> reports;
    compat::setRegistryRepairReport(
        [&](const fs::path& file, const fs::path& aside) { reports.emplace_back(file.string(), aside.string()); });
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Dastel");
    ASSERT_TRUE(key && key->setDword("kept", 1));
    const auto values = m_root / "registry" / "HKEY_CURRENT_USER" / "software" / "dastel" / "%values";
    const std::string whole = ovix::testing::readFile(values);
    const struct {
        const char* what;
        std::function<void()> damage;
        fs::file_type asideType;
        std::string asideBytes;
    } cases[] = {
        {"truncated", [&] { std::ofstream(values, std::ios::trunc) << whole.substr(0, whole.size() - 3); },
         fs::file_type::regular, whole.substr(0, whole.size() - 3)},
        {"unfinished entry", [&] { std::ofstream(values, std::ios::trunc) << whole + "4 9 4\nunfinished"; },
         fs::file_type::regular, whole + "4 9 4\nunfinished"},
        {"garbage", [&] { std::ofstream(values, std::ios::trunc) << "not a values file\n"; }, fs::file_type::regular,
         "not a values file\n"},
        {"pipe", [&] { ASSERT_EQ(mkfifo(values.c_str(), 0600), 0); }, fs::file_type::fifo, ""},
        {"link", [&] { fs::create_symlink(m_root / "elsewhere", values); }, fs::file_type::symlink, ""},
        {"folder", [&] { fs::create_directory(values); }, fs::file_type::directory, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(values);
        c.damage();
        // Read as no value, without waiting on a pipe.
        EXPECT_FALSE(key->query("kept"));
        ASSERT_TRUE(key->setDword("new", 2));
        EXPECT_EQ(key->queryDword("new"), 2u);
        EXPECT_FALSE(key->query("kept"));
        // Nothing lost: each damaged file keeps its own name beside the fresh one.
        const auto aside = values.string() + ".unreadable-" + std::to_string(++n);
        ASSERT_EQ(reports.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(reports.back(), std::make_pair(values.string(), aside));
        EXPECT_EQ(fs::symlink_status(aside).type(), c.asideType);
        if (c.asideType == fs::file_type::regular) {
            EXPECT_EQ(ovix::testing::readFile(aside), c.asideBytes);
        }
    }
    compat::setRegistryRepairReport({});
}

}  // namespace
