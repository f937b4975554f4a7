// libFuzzer target: a document-vector reader over a file set made of the
// input. The first byte picks the format; the rest is the main file, and each
// kSubFileSeparator in it starts the next sub-file. Every input must be read
// through or refused with a DocVecError.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "features/DocVec.h"
#include "features/fuzz/FuzzFile.h"

using namespace ovix;
using namespace ovix::fuzz;

namespace {

constexpr std::string_view kSubFileSeparator = "\nSUB\n";
constexpr int kMostSubFiles = 4;

void writeFileSet(std::string_view bytes) {
    int k = 0;
    for (;;) {
        const size_t cut = k < kMostSubFiles ? bytes.find(kSubFileSeparator) : std::string_view::npos;
        const std::string path = k == 0 ? inputPath() : inputPath() + ".sub" + std::to_string(k);
        writeFile(path, bytes.substr(0, cut));
        if (cut == std::string_view::npos)
            break;
        bytes.remove_prefix(cut + kSubFileSeparator.size());
        ++k;
    }
    while (++k <= kMostSubFiles)
        unlink((inputPath() + ".sub" + std::to_string(k)).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    writeFileSet(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    const auto format = static_cast<DocVecFormat>(data[0] % 4);
    try {
        DocVec in(inputPath(), format, false);
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
