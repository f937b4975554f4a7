#include "compat/com/ComRegistration.h"

#include <cstdio>

namespace compat {

namespace {

std::string hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string versionText(const TypeLibraryEntry& library) {
    return std::to_string(library.major) + "." + std::to_string(library.minor);
}

// Makes the key (and its parents) and sets its default value.
bool setDefault(std::string_view subkey, std::string_view text) {
    const auto key = RegistryKey::create(kClassesHive, classesPath(subkey));
    return key && key->setString("", text);
}

// Makes the key (and its parents) without a value.
bool makeKey(std::string_view subkey) {
    return RegistryKey::create(kClassesHive, classesPath(subkey)).has_value();
}

// Removes a key with its subkeys; true also when it was not there.
bool removeKey(std::string_view subkey) {
    const auto path = classesPath(subkey);
    if (!RegistryKey::open(kClassesHive, path))
        return true;
    return RegistryKey::removeTree(kClassesHive, path);
}

std::string classKey(const Guid& classId) {
    return "CLSID\\" + classId.toString();
}

std::string interfaceKey(const TypeLibraryEntry::Interface& entry) {
    return "Interface\\" + entry.id.toString();
}

bool registerProgIds(const Guid& classId, const ClassEntry::ProgIds& progIds) {
    const auto key = classKey(classId);
    const auto& versioned = progIds.versioned;
    const auto& independent = progIds.versionIndependent;
    return setDefault(key + "\\ProgID", progIds.classProgId) &&
           setDefault(key + "\\VersionIndependentProgID", progIds.classVersionIndependentProgId) &&
           setDefault(versioned.name, versioned.text) && setDefault(versioned.name + "\\CLSID", classId.toString()) &&
           setDefault(independent.name, independent.text) &&
           setDefault(independent.name + "\\CLSID", classId.toString()) &&
           setDefault(independent.name + "\\CurVer", versioned.name);
}

}  // namespace

RegistryLock lockRegistration() {
    return RegistryLock("registration");
}

std::string classesPath(std::string_view subkey) {
    return std::string(kClassesRoot) + "\\" + std::string(subkey);
}

bool registerTypeLibrary(const TypeLibraryEntry& library, const std::filesystem::path& module) {
    const auto version = "TypeLib\\" + library.id.toString() + "\\" + versionText(library);
    bool ok = setDefault(version, library.description) && setDefault(version + "\\FLAGS", "0") &&
              setDefault(version + "\\HELPDIR", module.parent_path().string()) &&
              setDefault(version + "\\" + hex(library.locale) + "\\linux", module.string());
    for (const auto& entry : library.interfaces) {
        if (!ok)
            break;
        const auto key = interfaceKey(entry);
        ok = setDefault(key, entry.name) && setDefault(key + "\\TypeLib", library.id.toString());
        if (ok) {
            const auto typeLib = RegistryKey::open(kClassesHive, classesPath(key + "\\TypeLib"));
            ok = typeLib && typeLib->setString("Version", versionText(library));
        }
    }
    return ok;
}

bool unregisterTypeLibrary(const TypeLibraryEntry& library) {
    const auto version = classesPath("TypeLib\\" + library.id.toString() + "\\" + versionText(library));
    if (!RegistryKey::removeTree(kClassesHive, version))
        return false;
    bool ok = true;
    for (const auto& entry : library.interfaces)
        ok = removeKey(interfaceKey(entry)) && ok;
    return ok;
}

bool registerClass(const ClassEntry& entry, const std::filesystem::path& module) {
    const auto key = classKey(entry.id);
    // The class key is rewritten whole, so no entry of an older version stays.
    if (!removeKey(key) || !setDefault(key, entry.typeName) || !setDefault(key + "\\InprocServer32", module.string()))
        return false;
    const auto server = RegistryKey::open(kClassesHive, classesPath(key + "\\InprocServer32"));
    if (!server || !server->setString("ThreadingModel", entry.threadingModel))
        return false;
    if (!entry.progId.empty()) {
        if (!setDefault(key + "\\ProgID", entry.progId) || !setDefault(entry.progId, entry.typeName) ||
            !setDefault(entry.progId + "\\CLSID", entry.id.toString()))
            return false;
    }
    if (entry.progIds && !registerProgIds(entry.id, *entry.progIds))
        return false;
    if ((entry.programmable && !makeKey(key + "\\Programmable")) ||
        (entry.typeLibrary && !setDefault(key + "\\TypeLib", entry.typeLibrary->toString())))
        return false;
    if (!entry.control)
        return true;
    const auto& control = *entry.control;
    return setDefault(key + "\\Control", "") && setDefault(key + "\\MiscStatus", "0") &&
           setDefault(key + "\\MiscStatus\\1", std::to_string(control.miscStatus)) &&
           setDefault(key + "\\ToolboxBitmap32", module.string() + ", " + std::to_string(control.toolboxBitmap)) &&
           setDefault(key + "\\TypeLib", control.typeLibrary.toString()) &&
           setDefault(key + "\\Version", control.typeLibraryVersion);
}

bool unregisterClass(const ClassEntry& entry) {
    const bool classGone = removeClassKey(entry.id);
    bool progIdsGone = entry.progId.empty() || removeKey(entry.progId);
    if (entry.progIds)
        progIdsGone = removeKey(entry.progIds->versioned.name) && removeKey(entry.progIds->versionIndependent.name) &&
                      progIdsGone;
    return classGone && progIdsGone;
}

bool removeClassKey(const Guid& classId) {
    return removeKey(classKey(classId));
}

bool registerCategory(const Guid& category, std::uint32_t locale, std::string_view description) {
    const auto key = RegistryKey::create(kClassesHive, classesPath("Component Categories\\" + category.toString()));
    return key && key->setString(hex(locale), description.substr(0, 127));
}

bool addClassToCategory(const Guid& classId, const Guid& category) {
    return makeKey(classKey(classId) + "\\Implemented Categories\\" + category.toString());
}

bool removeClassFromCategory(const Guid& classId, const Guid& category) {
    return removeKey(classKey(classId) + "\\Implemented Categories\\" + category.toString());
}

}  // namespace compat
