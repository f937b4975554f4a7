// Cuts of a graph for test_graph_cuts_networkx.py:
//   graph_cuts GRAPH SUMEDGES SYMMETRIC NORMALIZED BUILD MARKS ncut A B
//   graph_cuts GRAPH SUMEDGES SYMMETRIC NORMALIZED BUILD MARKS cluster KEY A B
// GRAPH is a text graph file, read into a double LaPlacian with the three
// flags and turned into its Laplacian when BUILD is 1; MARKS is one mark per
// node, separated by commas. Prints the result (%.17g), then the marks after
// the call, then sizeA and sizeB (cluster only), one per line. A thrown text
// goes to standard error with exit code 1.

#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "sgt/LaPlacian.h"

using namespace ovix;

namespace {

std::vector<int> parseMarks(const std::string& text) {
    std::vector<int> marks;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, ','))
        marks.push_back(std::stoi(field));
    return marks;
}

void printMarks(const std::vector<int>& marks) {
    for (std::size_t i = 0; i < marks.size(); ++i)
        std::printf("%s%d", i ? "," : "", marks[i]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 9) {
        std::fprintf(stderr, "usage: see the comment at the top of graph_cuts.cpp\n");
        return 2;
    }
    try {
        LaPlacian<double> graph(std::stoi(args[1]), std::stoi(args[2]), std::stoi(args[3]));
        graph.readGraphText(args[0].c_str());
        if (args[4] == "1")
            graph.buildLaplacian(0);
        std::vector<int> marks = parseMarks(args[5]);
        if (static_cast<int>(marks.size()) != graph.rowCount())
            throw std::runtime_error("one mark per node");
        if (args[6] == "ncut") {
            std::printf("%.17g\n", graph.ncut(marks.data(), std::stoi(args[7]), std::stoi(args[8])));
            printMarks(marks);
        } else if (args[6] == "cluster" && args.size() == 10) {
            int sizeA = -1, sizeB = -1;
            const double cut = graph.cluster(marks.data(), std::stoi(args[7]), std::stoi(args[8]),
                                             std::stoi(args[9]), sizeA, sizeB, 0, stderr);
            std::printf("%.17g\n", cut);
            printMarks(marks);
            std::printf("%d %d\n", sizeA, sizeB);
        } else {
            std::fprintf(stderr, "unknown command %s\n", args[6].c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
