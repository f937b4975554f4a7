// libFuzzer target: the graph file readers over a file made of the input. The
// first byte picks the form: 3 (mod 4) the text form, 0 to 2 the
// document-vector form in that format. Every input must be read or refused
// with a std::runtime_error; a graph read must be square with every column
// inside it.

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "features/fuzz/FuzzFile.h"
#include "sgt/LaPlacian.h"

using namespace ovix;
using namespace ovix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::uint8_t selector;
    if (!writeInput(data, size, selector))
        return 0;
    const int form = selector % 4;
    LaPlacian<float> graph(1, 0, 1);
    try {
        if (form == 3) {
            graph.readGraphText(inputPath().c_str());
        } else {
            std::vector<int> labels;
            if (graph.readGraphDocVec(inputPath().c_str(), form, &labels) != static_cast<int>(labels.size()))
                std::abort();
        }
    } catch (const std::runtime_error&) {
        return 0;  // refused, as a bad file must be
    }
    if (graph.rowCount() != graph.colCount())
        std::abort();
    for (int i = 0; i < graph.rowCount(); ++i)
        for (const auto& [column, weight] : graph.row(i))
            if (column < 0 || column >= graph.colCount())
                std::abort();
    return 0;
}
