#pragma once
// Failures of the clustering engine, internal ones included: each is thrown as
// std::runtime_error with the text "SOURCE LINE VALUE\n", SOURCE naming the
// part of the engine that failed, LINE the fixed number of the check and
// VALUE the offending value.

namespace ovix {

enum class ClusterSource {
    engine,  // the k-means algorithm and the reading of results
    graph,   // the graph algorithm
    table,   // the cluster table
};

// The SOURCE text of a failure: "..\..\Cluster", "..\..\CluGraph" or
// "cluster\CluHelper".
const char* clusterSourceName(ClusterSource source);

[[noreturn]] void throwClusterFailure(ClusterSource source, int line, long long value);

}  // namespace ovix
