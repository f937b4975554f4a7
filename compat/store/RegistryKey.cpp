#include "compat/store/RegistryKey.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <mutex>

#include "base/Ascii.h"
#include "base/FileText.h"
#include "compat/store/RegistryLock.h"
#include "compat/system/XdgFolders.h"

namespace compat {

namespace {

namespace fs = std::filesystem;

constexpr const char* kValuesFile = "%values";
// Names tried for a values file moved aside: "%values.unreadable-1", ...
constexpr unsigned kAsideNames = 1000;

std::mutex g_settingsMutex;
fs::path g_root;
RegistryRepairReport g_repairReport;

// A key name as a folder name: lower case; bytes outside a plain set, and so
// every "%", become %XX, so no key can be named like the values file.
std::string folderName(std::string_view keyName) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name;
    for (char raw : keyName) {
        const auto c = static_cast<unsigned char>(ovix::asciiToLower(raw));
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == ' ') {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

// The key name that folderName gave `folder`; empty for a folder that no key
// name gives (a value file, a tree being deleted).
std::string keyName(std::string_view folder) {
    std::string name;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        if (folder[i] != '%') {
            name += folder[i];
            continue;
        }
        unsigned byte = 0;
        if (i + 2 >= folder.size() ||
            std::from_chars(folder.data() + i + 1, folder.data() + i + 3, byte, 16).ptr != folder.data() + i + 3)
            return {};
        name += static_cast<char>(byte);
        i += 2;
    }
    return folderName(name) == folder ? name : std::string();
}

const char* hiveName(RegistryHive hive) {
    return hive == RegistryHive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::optional<fs::path> keyFolder(RegistryHive hive, std::string_view path) {
    const auto root = registryRoot();
    if (root.empty() || path.empty())
        return std::nullopt;
    fs::path folder = root / hiveName(hive);
    while (true) {
        const auto end = path.find('\\');
        const auto name = path.substr(0, end);
        if (name.empty())
            return std::nullopt;
        folder /= folderName(name);
        if (end == std::string_view::npos)
            return folder;
        path.remove_prefix(end + 1);
    }
}

bool isFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

// Moves an unusable values file to the first free name beside it; the hive's
// lock keeps other writers from taking that name meanwhile.
std::optional<fs::path> moveAside(const fs::path& file) {
    for (unsigned n = 1; n <= kAsideNames; ++n) {
        auto aside = file;
        aside += ".unreadable-" + std::to_string(n);
        struct stat info;
        if (lstat(aside.c_str(), &info) == 0)
            continue;
        if (errno != ENOENT || rename(file.c_str(), aside.c_str()) != 0)
            return std::nullopt;
        return aside;
    }
    errno = EEXIST;
    return std::nullopt;
}

template <class Number>
bool readNumber(std::string_view& text, char end, Number& number) {
    const auto stop = text.find(end);
    if (stop == std::string_view::npos)
        return false;
    const auto [rest, error] = std::from_chars(text.data(), text.data() + stop, number);
    if (error != std::errc() || rest != text.data() + stop || stop == 0)
        return false;
    text.remove_prefix(stop + 1);
    return true;
}

}  // namespace

fs::path registryRoot() {
    {
        std::lock_guard lock(g_settingsMutex);
        if (!g_root.empty())
            return g_root;
    }
    const auto config = configHome();
    return config.empty() ? fs::path() : config / "ovix" / "registry";
}

void setRegistryRoot(fs::path root) {
    std::lock_guard lock(g_settingsMutex);
    g_root = std::move(root);
}

void setRegistryRepairReport(RegistryRepairReport report) {
    std::lock_guard lock(g_settingsMutex);
    g_repairReport = std::move(report);
}

std::optional<RegistryKey> RegistryKey::open(RegistryHive hive, std::string_view path) {
    auto folder = keyFolder(hive, path);
    if (!folder || !isFolder(*folder)) {
        errno = ENOENT;
        return std::nullopt;
    }
    return RegistryKey(hive, std::move(*folder));
}

std::optional<RegistryKey> RegistryKey::create(RegistryHive hive, std::string_view path) {
    auto folder = keyFolder(hive, path);
    if (!folder) {
        errno = EINVAL;
        return std::nullopt;
    }
    RegistryLock lock(hiveName(hive));
    if (!lock.held())
        return std::nullopt;
    std::error_code error;
    fs::create_directories(*folder, error);
    if (error || !isFolder(*folder)) {
        errno = error ? error.value() : ENOTDIR;
        return std::nullopt;
    }
    return RegistryKey(hive, std::move(*folder));
}

bool RegistryKey::removeTree(RegistryHive hive, std::string_view path) {
    const auto folder = keyFolder(hive, path);
    if (!folder)
        return false;
    RegistryLock lock(hiveName(hive));
    if (!lock.held() || !isFolder(*folder))
        return false;
    // Renamed first, so that readers see the whole tree or none of it.
    static std::atomic<unsigned> counter{0};
    const auto doomed = registryRoot() / hiveName(hive) /
                        ("%deleted-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)));
    std::error_code error;
    fs::rename(*folder, doomed, error);
    if (error)
        return false;
    fs::remove_all(doomed, error);
    return true;
}

std::optional<std::vector<RegistryKey::Entry>> RegistryKey::readEntries() const {
    const auto file = ovix::readFileText(m_folder / kValuesFile);
    if (!file) {
        if (errno == ENOENT && isFolder(m_folder))
            return std::vector<Entry>{};
        // A link, a pipe, a folder or a device in the values file's place.
        if (errno == EINVAL || errno == ELOOP)
            errno = EBADMSG;
        return std::nullopt;
    }
    const std::string& text = *file;
    // Each value: "<type> <name bytes> <data bytes>\n<name><data>\n".
    std::vector<Entry> entries;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::uint32_t type;
        std::size_t nameSize, dataSize;
        if (!readNumber(rest, ' ', type) || !readNumber(rest, ' ', nameSize) || !readNumber(rest, '\n', dataSize) ||
            nameSize > rest.size() || dataSize > rest.size() - nameSize || rest.size() - nameSize - dataSize < 1 ||
            rest[nameSize + dataSize] != '\n') {
            errno = EBADMSG;
            return std::nullopt;
        }
        entries.push_back(
            Entry{std::string(rest.substr(0, nameSize)),
                  RegistryValue{static_cast<RegistryType>(type), std::string(rest.substr(nameSize, dataSize))}});
        rest.remove_prefix(nameSize + dataSize + 1);
    }
    return entries;
}

bool RegistryKey::update(const Change& change) const {
    RegistryLock lock(hiveName(m_hive));
    if (!lock.held())
        return false;
    auto entries = readEntries();
    if (!entries && errno == EBADMSG)
        entries = startAfresh();
    if (!entries || !change(*entries))
        return false;
    std::string text;
    for (const auto& entry : *entries) {
        text += std::to_string(static_cast<std::uint32_t>(entry.value.type)) + ' ' + std::to_string(entry.name.size()) +
                ' ' + std::to_string(entry.value.data.size()) + '\n';
        text += entry.name;
        text += entry.value.data;
        text += '\n';
    }
    return ovix::replaceFileText(m_folder / kValuesFile, text);
}

std::optional<std::vector<RegistryKey::Entry>> RegistryKey::startAfresh() const {
    const auto file = m_folder / kValuesFile;
    const auto aside = moveAside(file);
    if (!aside)
        return std::nullopt;
    RegistryRepairReport report;
    {
        std::lock_guard lock(g_settingsMutex);
        report = g_repairReport;
    }
    if (report)
        report(file, *aside);
    return std::vector<Entry>{};
}

std::optional<RegistryValue> RegistryKey::query(std::string_view name) const {
    auto entries = readEntries();
    if (!entries)
        return std::nullopt;
    for (auto& entry : *entries) {
        if (ovix::asciiEqualNoCase(entry.name, name))
            return std::move(entry.value);
    }
    errno = ENOENT;
    return std::nullopt;
}

std::optional<std::uint32_t> RegistryKey::queryDword(std::string_view name) const {
    auto value = query(name);
    if (!value || value->data.size() != 4)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(value->data.data());
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

std::vector<std::string> RegistryKey::subkeyNames() const {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(m_folder, error), end; !error && entry != end; entry.increment(error)) {
        const auto name = keyName(entry->path().filename().string());
        if (!name.empty() && isFolder(entry->path()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> RegistryKey::valueNames() const {
    std::vector<std::string> names;
    if (auto entries = readEntries()) {
        for (auto& entry : *entries)
            names.push_back(std::move(entry.name));
    }
    return names;
}

bool RegistryKey::set(std::string_view name, RegistryType type, std::string_view data) const {
    return update([&](std::vector<Entry>& entries) {
        for (auto& entry : entries) {
            if (ovix::asciiEqualNoCase(entry.name, name)) {
                entry.value = RegistryValue{type, std::string(data)};
                return true;
            }
        }
        entries.push_back(Entry{std::string(name), RegistryValue{type, std::string(data)}});
        return true;
    });
}

bool RegistryKey::setDword(std::string_view name, std::uint32_t value) const {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    return set(name, RegistryType::Dword, std::string_view(bytes, 4));
}

bool RegistryKey::setString(std::string_view name, std::string_view text) const {
    std::string data(text);
    data += '\0';
    return set(name, RegistryType::String, data);
}

bool RegistryKey::remove(std::string_view name) const {
    return update([&](std::vector<Entry>& entries) {
        const auto removed =
            std::erase_if(entries, [&](const Entry& entry) { return ovix::asciiEqualNoCase(entry.name, name); });
        if (removed == 0)
            errno = ENOENT;
        return removed != 0;
    });
}

}  // namespace compat
