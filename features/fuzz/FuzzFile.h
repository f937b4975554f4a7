#pragma once
// The file that a fuzz target hands its reader: a path in a private folder,
// removed at exit, whose bytes each input replaces. One thread.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace ovix::fuzz {

// "FOLDER/input" in a folder made for this process.
inline const std::string& inputPath() {
    static const std::string path = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "ovix-fuzz-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            std::abort();
        static std::string made = folder;
        std::atexit([] { std::filesystem::remove_all(made); });
        return folder + "/input";
    }();
    return path;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Writes a fuzz input but its first byte to inputPath() and hands that byte,
// which picks how the file is read, to `selector`; false for an empty input.
inline bool writeInput(const std::uint8_t* data, size_t size, std::uint8_t& selector) {
    if (size == 0)
        return false;
    selector = data[0];
    writeFile(inputPath(), std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    return true;
}

}  // namespace ovix::fuzz
