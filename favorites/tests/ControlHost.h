#pragma once
// Loads a private copy of the control module, with its own "vantile.config"
// beside it, the way a host does: dlopen and the exported entry points.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "compat/com/ComModule.h"
#include "favorites/tests/FavoritesFixture.h"

namespace ovix::testing {

class ControlHostFixture : public FavoritesFixture {
protected:
    std::filesystem::path moduleFolder() const { return m_scratch / "module"; }
    std::filesystem::path moduleFile() const { return moduleFolder() / "VantileImportFavorites.ocx"; }

    // Copies the module (and writes its configuration when given), then
    // loads it; the configuration is read once, at load.
    compat::ComModule& load(const std::optional<std::string>& config = std::nullopt) {
        std::filesystem::create_directories(moduleFolder());
        std::filesystem::copy_file(CONTROL_MODULE, moduleFile(), std::filesystem::copy_options::overwrite_existing);
        if (config)
            writeFile(moduleFolder() / "vantile.config", *config);
        m_module = std::make_unique<compat::ComModule>(moduleFile());
        return *m_module;
    }

    void TearDown() override {
        m_module.reset();
        FavoritesFixture::TearDown();
    }

    std::unique_ptr<compat::ComModule> m_module;
};

}  // namespace ovix::testing
