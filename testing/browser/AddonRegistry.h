#pragma once
// Where a browser window finds its add-ons in the registry store, and how it
// makes them: the module named by the class's "InprocServer32" key (under
// the classes key of ComRegistration.h), loaded once per window with
// ComModule, makes each object through its class factory. Not thread-safe:
// one window's thread uses its modules.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compat/com/ComModule.h"

namespace compat::testing {

// Both under HKEY_LOCAL_MACHINE: a subkey per helper object, a value per
// toolbar, each named by the class id.
inline constexpr std::string_view kHelperObjectsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr std::string_view kToolbarsKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";

// The registered class ids, in the store's order; names that are no class id
// are left out.
std::vector<Guid> registeredHelperObjects();
std::vector<Guid> registeredToolbars();

class AddonModules {
public:
    // A new object of `classId`; empty, with `error` telling why, when the
    // class is not registered, its module does not load or it makes none.
    ComPtr<ComUnknown> create(const Guid& classId, std::string& error);

private:
    std::map<std::filesystem::path, std::unique_ptr<ComModule>> m_modules;
};

}  // namespace compat::testing
