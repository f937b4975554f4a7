// libFuzzer target: a document-vector reader over a file set made of the
// input. The first byte picks the format; the rest is the main file, and each
// kSubFileSeparator in it starts the next sub-file. Every input must be read
// through or refused with a DocVecError.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "features/DocVec.h"

using namespace ovix;

namespace {

constexpr std::string_view kSubFileSeparator = "\nSUB\n";
constexpr int kMostSubFiles = 4;

const std::string& mainPath() {
    static const std::string path = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "docvec-fuzz-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            std::abort();
        static std::string made = folder;
        std::atexit([] { std::filesystem::remove_all(made); });
        return folder + "/set";
    }();
    return path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void writeFileSet(std::string_view bytes) {
    int k = 0;
    for (;;) {
        const size_t cut = k < kMostSubFiles ? bytes.find(kSubFileSeparator) : std::string_view::npos;
        const std::string path = k == 0 ? mainPath() : mainPath() + ".sub" + std::to_string(k);
        writeFile(path, bytes.substr(0, cut));
        if (cut == std::string_view::npos)
            break;
        bytes.remove_prefix(cut + kSubFileSeparator.size());
        ++k;
    }
    while (++k <= kMostSubFiles)
        unlink((mainPath() + ".sub" + std::to_string(k)).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    writeFileSet(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    const auto format = static_cast<DocVecFormat>(data[0] % 4);
    try {
        DocVec in(mainPath(), format, false);
        if (!in.isOpen())
            return 0;
        DocVecRecord record;
        for (int i = 0; i < in.nDocs(); ++i)
            in.readDoc(record);
        in.forEachDoc([](int, const DocVecRecord&) { return true; });
        if (in.reopen() == 0)
            in.readDoc(record);
    } catch (const DocVecError&) {
        // refused, as a bad file must be
    }
    return 0;
}
