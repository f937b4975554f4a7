#pragma once
// The type library and the registry texts of the add-on module, over the
// class ids of its browser objects.

#include "addon/browser/AddonClassIds.h"
#include "compat/com/Guid.h"

namespace ovix {

constexpr compat::Guid kTypeLibraryId = compat::Guid::parse("{BE496D54-A972-4380-9CB6-092CF5B042C1}");
constexpr unsigned kTypeLibraryMajor = 1;
constexpr unsigned kTypeLibraryMinor = 0;
constexpr const char* kTypeLibraryName = "Vantile";

// What the registry says of each class: the class key's text and threading
// model, the ProgID keys with their texts, and the ProgIDs that the class key
// names (the bands name others than their keys).
struct AddonClass {
    compat::Guid id;
    const char* text;
    const char* threadingModel;
    const char* progId;
    const char* progIdText;
    const char* independentProgId;
    const char* independentProgIdText;
    const char* classProgId;
    const char* classIndependentProgId;
};

constexpr AddonClass kAddonClasses[] = {
    {kBarBandClassId, "Morvane", "Both", "Vantile.BarBand.1", "BarBand", "Vantile.BarBand", "BarBand Class",
     "Morvane.BarBand.1", "Morvane.BarBand"},
    {kWToolBarClassId, "Morvane", "Both", "Vantile.WToolBar.1", "WToolBar Class", "Vantile.WToolBar", "WToolBar Class",
     "Morvane.WToolBar.1", "Morvane.WToolBar"},
    {kBhoClassId, "BHO Class", "Apartment", "Morvane.BHO.1", "BHO Class", "Morvane.BHO", "BHO Class", "Morvane.BHO.1",
     "Morvane.BHO"},
};

// Vertical explorer bars, which the sidebar is.
constexpr compat::Guid kInfoBandCategory = compat::Guid::parse("{00021493-0000-0000-C000-000000000046}");

// The shell's cached lists of the bar categories, made stale by a new bar:
// below the classes key, then below the current user's key.
constexpr const char* kClassesCategoryCaches[] = {
    "Component Categories\\{00021492-0000-0000-C000-000000000046}\\Enum",
    "Component Categories\\{00021493-0000-0000-C000-000000000046}\\Enum",
    "Component Categories\\{00021494-0000-0000-C000-000000000046}\\Enum",
};
constexpr const char* kUserCategoryCaches[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component "
    "Categories\\{00021493-0000-0000-C000-000000000046}\\Enum",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component "
    "Categories\\{00021494-0000-0000-C000-000000000046}\\Enum",
};

// The sidebar's default width (current user).
constexpr const char* kExplorerBarKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{CAF171B1-077D-4D35-A792-23773191E5B6}";
constexpr const char* kBarSizeValue = "BarSize";
constexpr unsigned char kBarSize = 0x9B;

// The toolbar's entry (local machine): a value named by its class id.
constexpr const char* kToolbarKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kToolbarText = "Vantile";

// The helper object's key (local machine), which makes the browser load it.
constexpr const char* kHelperObjectKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
    "{E4C2EF66-1FE6-4145-8598-A5877FB51AF3}";

}  // namespace ovix
