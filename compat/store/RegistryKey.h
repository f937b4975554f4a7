#pragma once
// A registry of keys and typed values kept in files. Each key is a folder
// under the root; the values of a key live in one file that is replaced
// atomically (written beside it, flushed, renamed). Key and value names are
// compared without regard to ASCII case; a value keeps the spelling of its
// first write. Writers of a hive hold that hive's lock file, so processes
// writing at once lose nothing; readers always see one whole values file.
// Keys are handles on a path: once a key is deleted, writes through a handle
// on it fail. A values file that cannot be used (bytes that do not parse, or
// not a regular file) is read as no value; the next write moves it aside,
// beside itself, and starts the key afresh.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace compat {

enum class RegistryHive { CurrentUser, LocalMachine };

enum class RegistryType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
    Qword = 11,
};

struct RegistryValue {
    RegistryType type = RegistryType::None;
    std::string data;  // raw bytes: a Dword is 4 bytes little-endian, strings keep their terminating NUL
};

// Where both hives live: the folder given to setRegistryRoot, else
// "ovix/registry" under the user's configuration folder.
std::filesystem::path registryRoot();
// An empty path goes back to the default.
void setRegistryRoot(std::filesystem::path root);

// Told, on the writing thread and with the hive locked, that `valuesFile`
// could not be used and was moved to `aside` so that its key could start
// afresh. Nobody is told without one.
using RegistryRepairReport =
    std::function<void(const std::filesystem::path& valuesFile, const std::filesystem::path& aside)>;
void setRegistryRepairReport(RegistryRepairReport report);

class RegistryKey {
public:
    // An existing key; `path` names it with "\" between the key names (no
    // empty names). Empty when the key does not exist or the path is invalid.
    static std::optional<RegistryKey> open(RegistryHive hive, std::string_view path);
    // The key, made together with its missing parents. Empty when it cannot
    // be made (errno kept).
    static std::optional<RegistryKey> create(RegistryHive hive, std::string_view path);
    // Deletes the key with all its subkeys and values; false when it does not
    // exist or cannot be deleted.
    static bool removeTree(RegistryHive hive, std::string_view path);

    // Empty when the value does not exist or the key cannot be read.
    std::optional<RegistryValue> query(std::string_view name) const;
    // A value of any type that is exactly 4 bytes, read as a Dword.
    std::optional<std::uint32_t> queryDword(std::string_view name) const;

    // The names of the key's subkeys, sorted, in lower case: the store keeps
    // key names without their case. Empty when there are none or the key is
    // gone.
    std::vector<std::string> subkeyNames() const;
    // The names of the key's values, as first written, in the order written.
    std::vector<std::string> valueNames() const;

    // Each returns false when the key is gone or the file cannot be written
    // (nor an unusable one moved aside).
    bool set(std::string_view name, RegistryType type, std::string_view data) const;
    bool setDword(std::string_view name, std::uint32_t value) const;
    bool setString(std::string_view name, std::string_view text) const;  // adds the terminating NUL
    // False also when the value does not exist.
    bool remove(std::string_view name) const;

private:
    struct Entry {
        std::string name;
        RegistryValue value;
    };
    using Change = std::function<bool(std::vector<Entry>&)>;

    RegistryKey(RegistryHive hive, std::filesystem::path folder) : m_hive(hive), m_folder(std::move(folder)) {}
    // Empty, with errno set, when the values cannot be read; EBADMSG when
    // the values file cannot be used.
    std::optional<std::vector<Entry>> readEntries() const;
    // Moves the unusable values file aside: no values, or empty (errno set)
    // when it cannot be moved.
    std::optional<std::vector<Entry>> startAfresh() const;
    bool update(const Change& change) const;

    RegistryHive m_hive;
    std::filesystem::path m_folder;
};

}  // namespace compat
