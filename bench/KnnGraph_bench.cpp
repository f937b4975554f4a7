// The k-nearest-neighbour graph of the documents in a document-vector file,
// timed: the measuring half of bench/knn_graph.py, which runs the peer.
//
//   knn_graph_bench VECTORS K REPEATS NEIGHBOURS
//
// Builds the float graph REPEATS times (sumEdges, not symmetric, normalized,
// as the classifier does), prints one JSON line with the best time in
// milliseconds and the peak memory the build added, and writes the
// neighbours of every row, best first, as K little-endian int32 each (-1 for
// a neighbour of zero weight, which the graph does not store).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "features/DocVec.h"
#include "features/DvecRow.h"
#include "sgt/LaPlacian.h"

using namespace ovix;

namespace {

// A field of /proc/self/status in kB.
long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s VECTORS K REPEATS NEIGHBOURS\n", argv[0]);
        return 2;
    }
    const int k = std::stoi(argv[2]);
    const int repeats = std::stoi(argv[3]);

    std::vector<std::vector<DocVecI>> docs;
    {
        DocVec file(argv[1], DOCVEC_FORMAT_BINARY, false);
        if (!file.isOpen()) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        DocVecRecord record;
        for (int i = 0; i < file.nDocs(); ++i) {
            file.readDoc(record);
            docs.push_back(std::move(record.entries));
        }
    }
    std::vector<_dVec> rows;
    for (std::size_t i = 0; i < docs.size(); ++i)
        rows.push_back(_dVec{static_cast<int>(i), static_cast<int>(docs[i].size()), 0, docs[i].data()});
    const int n = static_cast<int>(rows.size());

    const long residentBefore = statusKb("VmRSS");
    double best = 1e300;
    LaPlacian<float> graph(1, 0, 1);
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        graph.createKnnGraph(rows.data(), n, k, 0, stderr, 0.0);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    const long peakAdded = statusKb("VmHWM") - residentBefore;

    std::vector<std::int32_t> neighbours(static_cast<std::size_t>(n) * static_cast<std::size_t>(k), -1);
    for (int i = 0; i < n; ++i) {
        std::vector<std::pair<float, int>> row;
        for (const auto& [j, w] : graph.row(i))
            row.emplace_back(-w, j);
        std::sort(row.begin(), row.end());
        for (std::size_t p = 0; p < row.size() && p < static_cast<std::size_t>(k); ++p)
            neighbours[static_cast<std::size_t>(i) * static_cast<std::size_t>(k) + p] = row[p].second;
    }
    std::ofstream(argv[4], std::ios::binary)
        .write(reinterpret_cast<const char*>(neighbours.data()),
               static_cast<std::streamsize>(neighbours.size() * sizeof(std::int32_t)));

    std::printf("{\"ms\": %.3f, \"peak_kb\": %ld}\n", best, peakAdded);
    return 0;
}
