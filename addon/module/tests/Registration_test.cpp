// The module's registration in a private registry store, compared whole with
// the table of what it must write and what unregistration must leave.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compat/com/ComModule.h"
#include "compat/store/RegistryKey.h"
#include "testing/ConcurrentCalls.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using compat::RegistryHive;
using compat::RegistryType;

constexpr RegistryHive kUser = RegistryHive::CurrentUser;
constexpr RegistryHive kMachine = RegistryHive::LocalMachine;

// One row of the table: a key, and one of its values when `name` is set.
struct Entry {
    RegistryHive hive;
    std::string key;
    const char* name = nullptr;
    std::string text{};
    RegistryType type = RegistryType::String;
};

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        fs::create_directories(m_scratch / "module");
        fs::copy_file(ADDON_MODULE, moduleFile());
    }

    fs::path moduleFile() const { return m_scratch / "module" / "Vantile.dll"; }
    fs::path registry() const { return m_scratch / "config" / "ovix" / "registry"; }

    compat::ComModule& module() {
        if (!m_module)
            m_module = std::make_unique<compat::ComModule>(moduleFile());
        return *m_module;
    }

    // The tree that exactly `entries` make, written through the store into a
    // folder of its own.
    std::map<std::string, std::string> expected(const std::vector<Entry>& entries) {
        const auto root = m_scratch / "expected";
        fs::remove_all(root);
        compat::setRegistryRoot(root);
        for (const auto& entry : entries) {
            const auto key = compat::RegistryKey::create(entry.hive, entry.key);
            EXPECT_TRUE(key) << entry.key;
            if (!key || !entry.name)
                continue;
            const std::string data = entry.type == RegistryType::Binary ? entry.text : entry.text + '\0';
            EXPECT_TRUE(key->set(entry.name, entry.type, data)) << entry.key;
        }
        compat::setRegistryRoot({});
        return ovix::testing::folderTree(root);
    }

    // What stays after unregistration: the bands' ProgID keys, the helper
    // object's class and ProgID keys, the sidebar's width, and the keys above
    // what was removed.
    std::vector<Entry> keptEntries() const {
        const std::string bho = "Software\\Classes\\CLSID\\{E4C2EF66-1FE6-4145-8598-A5877FB51AF3}";
        const std::string library = "{BE496D54-A972-4380-9CB6-092CF5B042C1}";
        std::vector<Entry> entries = {
            {kUser, "Software\\Classes\\TypeLib\\" + library},
            {kUser, bho, "", "BHO Class"},
            {kUser, bho + "\\ProgID", "", "Morvane.BHO.1"},
            {kUser, bho + "\\VersionIndependentProgID", "", "Morvane.BHO"},
            {kUser, bho + "\\Programmable"},
            {kUser, bho + "\\InprocServer32", "", moduleFile().string()},
            {kUser, bho + "\\InprocServer32", "ThreadingModel", "Apartment"},
            {kUser, bho + "\\TypeLib", "", library},
            {kUser, "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{CAF171B1-077D-4D35-A792-23773191E5B6}",
             "BarSize", "\x9B", RegistryType::Binary},
            {kMachine, "Software\\Microsoft\\Internet Explorer\\Toolbar"},
            {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"},
        };
        const struct {
            const char* id;
            const char* progId;
            const char* progIdText;
            const char* independent;
            const char* independentText;
        } progIds[] = {
            {"{CAF171B1-077D-4D35-A792-23773191E5B6}", "Vantile.BarBand.1", "BarBand", "Vantile.BarBand",
             "BarBand Class"},
            {"{EECC161C-D8F9-411A-A8E6-C17EB736F16B}", "Vantile.WToolBar.1", "WToolBar Class", "Vantile.WToolBar",
             "WToolBar Class"},
            {"{E4C2EF66-1FE6-4145-8598-A5877FB51AF3}", "Morvane.BHO.1", "BHO Class", "Morvane.BHO", "BHO Class"},
        };
        for (const auto& p : progIds) {
            const std::string versioned = std::string("Software\\Classes\\") + p.progId;
            const std::string independent = std::string("Software\\Classes\\") + p.independent;
            entries.push_back({kUser, versioned, "", p.progIdText});
            entries.push_back({kUser, versioned + "\\CLSID", "", p.id});
            entries.push_back({kUser, independent, "", p.independentText});
            entries.push_back({kUser, independent + "\\CLSID", "", p.id});
            entries.push_back({kUser, independent + "\\CurVer", "", p.progId});
        }
        return entries;
    }

    // Everything registration writes.
    std::vector<Entry> registeredEntries() const {
        const std::string library = "Software\\Classes\\TypeLib\\{BE496D54-A972-4380-9CB6-092CF5B042C1}\\1.0";
        auto entries = keptEntries();
        entries.insert(entries.end(), {
                                          {kUser, library, "", "Vantile"},
                                          {kUser, library + "\\FLAGS", "", "0"},
                                          {kUser, library + "\\HELPDIR", "", moduleFile().parent_path().string()},
                                          {kUser, library + "\\0\\linux", "", moduleFile().string()},
                                          {kMachine, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                                           "{EECC161C-D8F9-411A-A8E6-C17EB736F16B}", "Vantile"},
                                          {kMachine,
                                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper "
                                           "Objects\\{E4C2EF66-1FE6-4145-8598-A5877FB51AF3}"},
                                      });
        const struct {
            const char* id;
            const char* progId;
            const char* independent;
        } bands[] = {
            {"{CAF171B1-077D-4D35-A792-23773191E5B6}", "Morvane.BarBand.1", "Morvane.BarBand"},
            {"{EECC161C-D8F9-411A-A8E6-C17EB736F16B}", "Morvane.WToolBar.1", "Morvane.WToolBar"},
        };
        for (const auto& band : bands) {
            const std::string key = std::string("Software\\Classes\\CLSID\\") + band.id;
            entries.insert(entries.end(), {
                                              {kUser, key, "", "Morvane"},
                                              {kUser, key + "\\ProgID", "", band.progId},
                                              {kUser, key + "\\VersionIndependentProgID", "", band.independent},
                                              {kUser, key + "\\Programmable"},
                                              {kUser, key + "\\InprocServer32", "", moduleFile().string()},
                                              {kUser, key + "\\InprocServer32", "ThreadingModel", "Both"},
                                              {kUser, key + "\\TypeLib", "", "{BE496D54-A972-4380-9CB6-092CF5B042C1}"},
                                          });
        }
        entries.push_back({kUser,
                           "Software\\Classes\\CLSID\\{CAF171B1-077D-4D35-A792-23773191E5B6}\\Implemented "
                           "Categories\\{00021493-0000-0000-C000-000000000046}"});
        return entries;
    }

    // Puts a plain file where the key folder `path` (below the hive's
    // folder, in the store's lower case) would go, so it cannot be made.
    void block(const char* hive, const std::string& path) {
        fs::create_directories((registry() / hive / path).parent_path());
        ovix::testing::writeFile(registry() / hive / path, "");
    }

    ovix::testing::ScratchFolder m_scratch;
    std::unique_ptr<compat::ComModule> m_module;
};

// Exactly the table, written again unchanged; unregistration removes the
// type library, both bands' class keys, the toolbar's value and the helper
// object's key, and leaves exactly the rest.
TEST_F(RegistrationTest, WritesTheTableAndRemovesItsPart) {
    ASSERT_EQ(module().registerServer(), compat::S_OK);
    const auto written = ovix::testing::folderTree(registry());
    EXPECT_EQ(written, expected(registeredEntries()));
    ASSERT_EQ(module().registerServer(), compat::S_OK);
    EXPECT_EQ(ovix::testing::folderTree(registry()), written);

    ASSERT_EQ(module().unregisterServer(), compat::S_OK);
    EXPECT_EQ(ovix::testing::folderTree(registry()), expected(keptEntries()));
    EXPECT_EQ(module().unregisterServer(), compat::SELFREG_E_TYPELIB);
}

// Registrations, then unregistrations, from four threads and two processes at
// once act as if one came after the other: every registration succeeds and
// leaves what one leaves; one unregistration removes the entries and the
// others find them gone.
TEST_F(RegistrationTest, ConcurrentCallsRunOneAtATime) {
    using ovix::testing::concurrentResults;
    constexpr int kThreads = 4, kProcesses = 2, kCalls = kThreads + kProcesses;
    module();  // loaded before the children are forked
    const auto registered = concurrentResults([&] { return module().registerServer(); }, kThreads, kProcesses, 1);
    EXPECT_EQ(registered, std::vector<std::int32_t>(kCalls, compat::S_OK));
    EXPECT_EQ(ovix::testing::folderTree(registry()), expected(registeredEntries()));

    const auto unregistered = concurrentResults([&] { return module().unregisterServer(); }, kThreads, kProcesses, 1);
    ASSERT_EQ(unregistered.size(), std::size_t{kCalls});
    EXPECT_EQ(std::count(unregistered.begin(), unregistered.end(), compat::S_OK), 1);
    EXPECT_EQ(std::count(unregistered.begin(), unregistered.end(), compat::SELFREG_E_TYPELIB), kCalls - 1);
    EXPECT_EQ(ovix::testing::folderTree(registry()), expected(keptEntries()));
}

// The shell's cached lists of the bar categories go; their categories stay.
TEST_F(RegistrationTest, DropsTheCachedCategoryLists) {
    const std::vector<std::pair<RegistryHive, std::string>> caches = {
        {kUser, "Software\\Classes\\Component Categories\\{00021492-0000-0000-C000-000000000046}\\Enum"},
        {kUser, "Software\\Classes\\Component Categories\\{00021493-0000-0000-C000-000000000046}\\Enum"},
        {kUser, "Software\\Classes\\Component Categories\\{00021494-0000-0000-C000-000000000046}\\Enum"},
        {kUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component "
                "Categories\\{00021493-0000-0000-C000-000000000046}\\Enum"},
        {kUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component "
                "Categories\\{00021494-0000-0000-C000-000000000046}\\Enum"},
    };
    for (const auto& [hive, path] : caches)
        ASSERT_TRUE(compat::RegistryKey::create(hive, path + "\\Cached"));
    ASSERT_EQ(module().registerServer(), compat::S_OK);
    for (const auto& [hive, path] : caches) {
        EXPECT_FALSE(compat::RegistryKey::open(hive, path)) << path;
        EXPECT_TRUE(compat::RegistryKey::open(hive, path.substr(0, path.rfind('\\')))) << path;
    }
}

TEST_F(RegistrationTest, FailuresAreReported) {
    struct Case {
        const char* hive;
        const char* blocked;
        compat::HRESULT result;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER", "software/classes/typelib", compat::SELFREG_E_TYPELIB},
        {"HKEY_CURRENT_USER", "software/classes/clsid", compat::SELFREG_E_CLASS},
        {"HKEY_LOCAL_MACHINE", "software/microsoft/internet explorer/toolbar", compat::SELFREG_E_CLASS},
        {"HKEY_LOCAL_MACHINE", "software/microsoft/windows/currentversion/explorer/browser helper objects",
         compat::SELFREG_E_CLASS},
    };
    EXPECT_EQ(static_cast<std::uint32_t>(compat::SELFREG_E_TYPELIB), 0x80040200u);
    EXPECT_EQ(static_cast<std::uint32_t>(compat::SELFREG_E_CLASS), 0x80040201u);
    for (const auto& c : cases) {
        fs::remove_all(registry());
        block(c.hive, c.blocked);
        EXPECT_EQ(module().registerServer(), c.result) << c.blocked;
        if (c.result == compat::SELFREG_E_TYPELIB) {
            EXPECT_FALSE(compat::RegistryKey::open(kUser, "Software\\Classes\\CLSID")) << c.blocked;
        }
    }
}

}  // namespace

}  // namespace ovix
