#pragma once
// A private favorites folder and registry for the control's tests: the
// registry store lives under the scratch folder's configuration home, which
// the control module reads from the environment as well.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "compat/store/RegistryKey.h"
#include "testing/ScratchFolder.h"

namespace ovix::testing {

class FavoritesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = getenv("XDG_CONFIG_HOME"))
            m_oldConfigHome = old;
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        std::filesystem::create_directories(favorites());
    }
    void TearDown() override {
        if (m_oldConfigHome)
            setenv("XDG_CONFIG_HOME", m_oldConfigHome->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    std::filesystem::path favorites() const { return m_scratch / "Favorites"; }
    std::filesystem::path registryHive() const { return m_scratch / "config" / "ovix" / "registry" / "HKEY_CURRENT_USER"; }

    void setFavoritesValue(const std::string& value,
                           compat::RegistryType type = compat::RegistryType::ExpandString) {
        const auto key = compat::RegistryKey::create(
            compat::RegistryHive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders");
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->set("Favorites", type, value + '\0'));
    }
    void pointAtFavorites() { setFavoritesValue(favorites().string()); }

    static void writeFile(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static void writeShortcut(const std::filesystem::path& path, const std::string& url) {
        writeFile(path, "[InternetShortcut]\r\nURL=" + url + "\r\n");
    }

    // The names in `folder` in the order the file system lists them.
    static std::vector<std::string> listingOrder(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        if (DIR* listing = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(listing)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            closedir(listing);
        }
        return names;
    }

    // The example tree: the folder Links holding the shortcut A.url to
    // http://a/, and the plain file notes.txt. Gives the expected listing of
    // the top level in the file system's order.
    std::string makeExampleTree() {
        writeShortcut(favorites() / "Links" / "A.url", "http://a/");
        writeFile(favorites() / "notes.txt", "not a shortcut");
        const auto order = listingOrder(favorites());
        const std::string links = "\"Links\":{\"A\":\"http://a/\"}";
        const std::string notes = "\"notes.txt\":\"\"";
        return order.front() == "Links" ? links + "," + notes : notes + "," + links;
    }

    ScratchFolder m_scratch;
    std::optional<std::string> m_oldConfigHome;
};

}  // namespace ovix::testing
