#pragma once
// A component module's entries in the registry store: its type library, its
// classes and the component categories they belong to. All of them live
// under the user's classes key, kClassesRoot of the current-user hive.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compat/com/Guid.h"
#include "compat/store/RegistryKey.h"
#include "compat/store/RegistryLock.h"

namespace compat {

constexpr RegistryHive kClassesHive = RegistryHive::CurrentUser;
constexpr std::string_view kClassesRoot = "Software\\Classes";

struct TypeLibraryEntry {
    Guid id;
    unsigned major = 1;
    unsigned minor = 0;
    std::uint32_t locale = 0;
    std::string description{};
    std::string helpFile{};
    struct Interface {
        Guid id;
        std::string name;
    };
    std::vector<Interface> interfaces{};
};

struct ProgIdKey {
    std::string name;  // the key below the classes key
    std::string text;  // its default value
};

struct ClassEntry {
    Guid id;
    std::string progId{};  // a ProgID key with typeName as its text; none when empty
    std::string typeName{};
    std::string threadingModel{};
    // Set for controls: status bits, toolbox bitmap and type library.
    struct Control {
        std::uint32_t miscStatus = 0;
        int toolboxBitmap = 1;
        Guid typeLibrary;
        std::string typeLibraryVersion;
    };
    std::optional<Control> control{};
    // Set for a class with a version-independent ProgID (progId then stays
    // empty): both keys with their own texts and a "CLSID" subkey, the
    // version-independent one with "CurVer" naming the versioned key, and
    // the class key's "ProgID" and "VersionIndependentProgID", which name
    // whatever they are given.
    struct ProgIds {
        ProgIdKey versioned;
        ProgIdKey versionIndependent;
        std::string classProgId;
        std::string classVersionIndependentProgId;
    };
    std::optional<ProgIds> progIds{};
    bool programmable = false;          // an empty "Programmable" subkey
    std::optional<Guid> typeLibrary{};  // a "TypeLib" subkey naming it (controls give theirs above)
};

// "TypeLib\{id}\major.minor" with the library's description, flags, help
// folder and the module as its file; "Interface\{iid}" for each interface.
bool registerTypeLibrary(const TypeLibraryEntry& library, const std::filesystem::path& module);
// False when that version is not registered or cannot be removed.
bool unregisterTypeLibrary(const TypeLibraryEntry& library);

// "CLSID\{id}", rewritten whole, with its server, threading model and what
// the entry sets, and the ProgID keys.
bool registerClass(const ClassEntry& entry, const std::filesystem::path& module);
// Removes the class key and the ProgID keys; true when they are gone (or
// never were).
bool unregisterClass(const ClassEntry& entry);
// Removes "CLSID\{id}" alone; true when it is gone (or never was).
bool removeClassKey(const Guid& classId);

// "Component Categories\{category}" with the description under the locale
// (hex) as value name; the description is cut to 127 characters.
bool registerCategory(const Guid& category, std::uint32_t locale, std::string_view description);
// "CLSID\{classId}\Implemented Categories\{category}".
bool addClassToCategory(const Guid& classId, const Guid& category);
// True when the class is no longer in the category; the category stays.
bool removeClassFromCategory(const Guid& classId, const Guid& category);

// Held by a module while it writes or removes its entries, so that the
// registrations of every thread and process run one at a time, each seeing
// the store as the one before left it. Not held: the store cannot be locked.
RegistryLock lockRegistration();

// The key path below the classes key, for readers of these entries.
std::string classesPath(std::string_view subkey);

}  // namespace compat
