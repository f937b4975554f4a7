#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compat/com/ComRegistration.h"
#include "favorites/ControlIdentity.h"
#include "favorites/tests/ControlHost.h"
#include "testing/ConcurrentCalls.h"

namespace ovix::favorites {

namespace {

using compat::RegistryKey;
using ovix::testing::concurrentResults;
using ovix::testing::folderTree;

class RegistrationTest : public ovix::testing::ControlHostFixture {
protected:
    static std::optional<RegistryKey> key(const std::string& subkey) {
        return RegistryKey::open(compat::kClassesHive, compat::classesPath(subkey));
    }
    // A text value without its terminating NUL; "(missing)" when absent.
    static std::string text(const std::string& subkey, const std::string& name = "") {
        const auto found = key(subkey);
        const auto value = found ? found->query(name) : std::nullopt;
        if (!value)
            return "(missing)";
        return value->data.substr(0, value->data.find('\0'));
    }
    static std::string classKey(const compat::Guid& id) { return "CLSID\\" + id.toString(); }
    static std::string categoryOf(const compat::Guid& category) {
        return classKey(kControlClassId) + "\\Implemented Categories\\" + category.toString();
    }
    // Puts a plain file where a classes subkey would go, so it cannot be made.
    void block(const std::string& folderName) {
        writeFile(registryHive() / "software" / "classes" / folderName, "");
    }
};

TEST_F(RegistrationTest, RegisterWritesEveryEntryAndUnregisterRemovesThem) {
    auto& module = load();
    ASSERT_EQ(module.registerServer(), compat::S_OK);
    const std::string library = "TypeLib\\{648EE14A-ECF8-40EA-B9FB-37C1288C4ABE}\\1.0";
    EXPECT_EQ(text(library), "VantileImportFavorites ActiveX Control module");
    EXPECT_EQ(text(library + "\\409\\linux"), moduleFile().string());
    EXPECT_EQ(text("Interface\\{6D0F1F44-2A27-412F-988A-E4D4EE45ACBC}"), "_DVantileImportFavorites");

    const auto control = classKey(kControlClassId);
    EXPECT_EQ(control, "CLSID\\{A00C22CA-A3D9-4A02-8171-7D234113BDCD}");
    EXPECT_EQ(text(control), "VantileImportFavorites Control");
    EXPECT_EQ(text(control + "\\InprocServer32"), moduleFile().string());
    EXPECT_EQ(text(control + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(text(control + "\\ProgID"), "VANTILEIMPORTFAV.VantileImportFavCtrl.1");
    EXPECT_EQ(text(control + "\\MiscStatus\\1"), "132497");  // 0x20591
    EXPECT_EQ(text(control + "\\ToolboxBitmap32"), moduleFile().string() + ", 1");
    EXPECT_EQ(text(control + "\\TypeLib"), "{648EE14A-ECF8-40EA-B9FB-37C1288C4ABE}");
    EXPECT_EQ(text(control + "\\Version"), "1.0");
    EXPECT_FALSE(key(control + "\\Insertable"));
    EXPECT_EQ(text("VANTILEIMPORTFAV.VantileImportFavCtrl.1\\CLSID"), kControlClassId.toString());

    const auto page = classKey(kPropertyPageClassId);
    EXPECT_EQ(text(page), "VantileImportFavorites Property Page");
    EXPECT_EQ(text(page + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(text("VANTILEIMPORTF.VantileImportFPropPage.1\\CLSID"), kPropertyPageClassId.toString());

    EXPECT_EQ(text("Component Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}", "409"),
              "Controls safely initializable from persistent data!");
    EXPECT_EQ(text("Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "409"),
              "Controls safely scriptable!");
    EXPECT_TRUE(key(categoryOf(kSafeForInitializing)));
    EXPECT_TRUE(key(categoryOf(kSafeForScripting)));

    // Registering again changes nothing.
    ASSERT_EQ(module.registerServer(), compat::S_OK);
    EXPECT_EQ(text(control), "VantileImportFavorites Control");

    ASSERT_EQ(module.unregisterServer(), compat::S_OK);
    EXPECT_FALSE(key(control));
    EXPECT_FALSE(key(page));
    EXPECT_FALSE(key("VANTILEIMPORTFAV.VantileImportFavCtrl.1"));
    EXPECT_FALSE(key(library));
    EXPECT_FALSE(key("Interface\\{6D0F1F44-2A27-412F-988A-E4D4EE45ACBC}"));
    // The categories themselves stay.
    EXPECT_EQ(text("Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "409"),
              "Controls safely scriptable!");
    // Nothing left to unregister: the type library step fails first.
    EXPECT_EQ(module.unregisterServer(), compat::SELFREG_E_TYPELIB);
}

// Registrations, then unregistrations, from four threads and two processes at
// once leave what one call leaves: every registration succeeds, one
// unregistration removes the entries and the others find them gone.
TEST_F(RegistrationTest, ConcurrentCallsRunOneAtATime) {
    constexpr int kThreads = 4, kProcesses = 2, kCalls = kThreads + kProcesses;
    auto& module = load();
    const auto store = registryHive().parent_path();
    ASSERT_EQ(module.registerServer(), compat::S_OK);
    const auto registered = folderTree(store);
    ASSERT_EQ(module.unregisterServer(), compat::S_OK);
    const auto unregistered = folderTree(store);

    const auto registrations = concurrentResults([&] { return module.registerServer(); }, kThreads, kProcesses, 1);
    EXPECT_EQ(registrations, std::vector<std::int32_t>(kCalls, compat::S_OK));
    EXPECT_EQ(folderTree(store), registered);
    const auto removals = concurrentResults([&] { return module.unregisterServer(); }, kThreads, kProcesses, 1);
    ASSERT_EQ(removals.size(), std::size_t{kCalls});
    EXPECT_EQ(std::count(removals.begin(), removals.end(), compat::S_OK), 1);
    EXPECT_EQ(std::count(removals.begin(), removals.end(), compat::SELFREG_E_TYPELIB), kCalls - 1);
    EXPECT_EQ(folderTree(store), unregistered);
}

TEST_F(RegistrationTest, TypeLibraryFailureStopsBeforeTheClasses) {
    block("typelib");
    auto& module = load();
    EXPECT_EQ(module.registerServer(), compat::SELFREG_E_TYPELIB);
    EXPECT_EQ(static_cast<std::uint32_t>(compat::SELFREG_E_TYPELIB), 0x80040200u);
    EXPECT_FALSE(key(classKey(kControlClassId)));
}

TEST_F(RegistrationTest, ClassFailureIsReported) {
    block("clsid");
    auto& module = load();
    EXPECT_EQ(module.registerServer(), compat::SELFREG_E_CLASS);
    EXPECT_EQ(static_cast<std::uint32_t>(compat::SELFREG_E_CLASS), 0x80040201u);
    EXPECT_FALSE(key("Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
}

TEST_F(RegistrationTest, CategoryFailureIsReported) {
    block("component categories");
    auto& module = load();
    EXPECT_EQ(module.registerServer(), compat::E_FAIL);
    // The earlier steps stand.
    EXPECT_TRUE(key(classKey(kControlClassId)));
}

}  // namespace

}  // namespace ovix::favorites
