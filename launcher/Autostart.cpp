#include "launcher/Autostart.h"

#include <string>
#include <string_view>

#include "base/Ascii.h"
#include "base/FileText.h"
#include "compat/system/AutostartEntry.h"

namespace ovix {

namespace {

constexpr std::size_t kValueCapacity = 260;

bool entryMatches(const std::filesystem::path& launcherPath) {
    const auto text = ovix::readFileText(compat::autostartEntryPath(kAutostartEntry));
    return text == compat::autostartEntryText(kAutostartEntry, launcherPath);
}

bool followValue(bool set, const std::filesystem::path& launcherPath) {
    if (!set)
        return compat::removeAutostartEntry(kAutostartEntry);
    return entryMatches(launcherPath) || compat::writeAutostartEntry(kAutostartEntry, launcherPath);
}

}  // namespace

bool IsAutostartSet(const compat::RegistryKey& runKey, const std::filesystem::path& launcherPath) {
    auto value = runKey.query(kAutostartValue);
    if (!value || value->data.size() > kValueCapacity)
        return false;
    const std::string_view text = std::string_view(value->data).substr(0, value->data.find('\0'));
    return asciiContainsNoCase(text, launcherPath.string());
}

bool SetAutostart(unsigned bits, const std::filesystem::path& launcherPath) {
    const auto hive =
        bits & kAutostartCurrentUser ? compat::RegistryHive::CurrentUser : compat::RegistryHive::LocalMachine;
    // The Run keys always exist on the original platform; here the first
    // write makes them.
    const auto key = compat::RegistryKey::create(hive, kRunKeyPath);
    if (!key)
        return false;
    const bool remove = bits & kAutostartSet;
    const bool changed = remove ? key->remove(kAutostartValue) : key->setString(kAutostartValue, launcherPath.string());
    return changed && followValue(!remove, launcherPath);
}

unsigned readAutostartBits(const std::filesystem::path& launcherPath) {
    unsigned bits = 0;
    if (auto machine = compat::RegistryKey::open(compat::RegistryHive::LocalMachine, kRunKeyPath)) {
        bits = IsAutostartSet(*machine, launcherPath) ? kAutostartSet : 0;
    } else {
        auto user = compat::RegistryKey::open(compat::RegistryHive::CurrentUser, kRunKeyPath);
        bits = (user && IsAutostartSet(*user, launcherPath) ? kAutostartSet : 0) | kAutostartCurrentUser;
    }
    followValue(bits & kAutostartSet, launcherPath);
    return bits;
}

}  // namespace ovix
