#pragma once
// The document clustering engine: clusters the documents of one
// document-vector file (binary format) into a tree of clusters, once, and
// then hands out each document's cluster and each cluster's centroid.
//
// Two algorithms grow the same tree (cluster/ClusterTable.h):
// - run: k-means-style, the root split into k children by repeated
//   assignment of every document to its most similar centroid; the documents
//   are streamed from the file at every pass, never held in memory;
// - runGraph: the root cut in two, and each part again down to a depth, by
//   the spectral two-way split of a k-nearest-neighbour graph of all the
//   documents.
// Centroids stay in the table, and go to a centroid file too (openOutput),
// one record per cluster; results are read from the table only, so a file
// rewritten after the run changes none of them. Progress goes to the standard
// error stream by `verbosity`.
//
// Every failure is thrown as a CheckFailure, "SOURCE CHECK VALUE\n"
// (cluster/ClusterFailure.h); a malformed document-vector file throws
// DocVecError. Nothing is rolled back. An engine is used by one thread at a
// time.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cluster/ClusterFailure.h"
#include "cluster/ClusterTable.h"
#include "cluster/SplitWorkspace.h"
#include "features/DocVec.h"
#include "sgt/CheckFailure.h"
#include "sgt/DuplicateRecord.h"

namespace ovix {

template <class T>
class LaPlacian;

class Cluster {
public:
    // Set before a run.
    int minClusterSize = 0;             // k-means dissolves smaller children; the graph refuses smaller parts
    int minSplitSize = 0;               // a child is split further only when it is larger
    int maxIterations = 5;              // k-means iterations at most
    int verbosity = 2;                  // progress on the standard error stream: 0 none, 4 and more every document
    int seed = 12345;                   // of the random initial assignment; below 0 the current time
    int initMode = 0;                   // 2: centroids from the labels 1..k; any other value: random assignment
    int maxCentroidFeatures = 0;        // > 0 keeps only the heaviest entries of each centroid
    std::vector<int> clustersPerDepth;  // children to make at each remaining depth, depth d at d-1

    // Opens the input file; a member base that is null or empty writes no
    // member files. Throws when the file holds no document or cannot be
    // opened.
    Cluster(const char* inputPath, const char* memberBase);
    ~Cluster();
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    // Creates the centroid file with its root record (id 0, no entries) and
    // returns 1; returns 0 and does nothing without a path.
    int openOutput(const char* outputPath);

    // The k-means algorithm (clustersPerDepth set first): the root is split
    // with depth 1. Once only, counting runGraph.
    void run(int k);
    // The graph algorithm over the k-nearest-neighbour graph (Laplacian
    // I - D^-1 W of the symmetrised graph), cuts down to `depth`, refused
    // above ncutThreshold. Once only, counting run.
    void runGraph(int k, int depth, double ncutThreshold, double dupThreshold);

    // Rewinds the input for readDocument and returns the number of documents;
    // throws when the file's count has changed.
    int docCount();
    // The next document of the input in file order, and its cluster.
    int readDocument(DocVecRecord& record);

    // Starts reading the clusters in id order and returns their number.
    int clusterCount();

    struct ClusterInfo {
        int id = 0;
        int parent = 0;
        int size = 0;
        std::vector<DocVecI> centroid;          // sorted by id
        std::optional<std::string> memberFile;  // written when the cluster has documents and members are asked for
    };
    // The next cluster. With a member base, writes the member file of a
    // cluster that has documents: its documents, in input order, with their
    // ids, label 0 and all their entries.
    ClusterInfo nextCluster();

    int documentCount() const { return m_nDocs; }
    const ClusterTable& table() const { return m_table; }
    // One per document after the graph algorithm; empty otherwise.
    const std::vector<DuplicateRecord>& duplicates() const { return m_duplicates; }

private:
    friend struct ClusterInternals;  // tests drive a split of any depth

    // The k-means split of cluster c into clustersPerDepth[depth - 1]
    // children, and of each child again down to depth 1.
    void split(int c, int depth);
    void initialAssignment(int c, int k);
    void iterate(int c);
    // Every document of c's children to its child: its cluster, or its
    // weights summed into its child's centroid.
    void assignmentPass(int c, ClusterCheck check);
    void centroidPass(int c, SourceCheck check);
    void dissolveSmallChildren(int c);
    void storeChildren(int c);
    // Writes the member file of cluster `id` and returns its name.
    std::string writeMembers(int id);

    void splitGraph(int c, int depth, double ncutThreshold);
    void buildGraph(int k, double dupThreshold);
    void cutGraph(int c, const std::vector<int>& marks, int sizeA, int sizeB, double ncut);

    // One pass over every document of the input, in file order, showing the
    // progress `mark` ('+' assigning, '-' summing, 0 none); `check` fails the
    // run when it does not visit exactly nDocs documents.
    using Visit = std::function<void(int position, const DocVecRecord& record)>;
    void forEachDocument(SourceCheck check, char mark, const Visit& visit);
    void showProgress(char mark, int position) const;
    // Refuses a second run with `check`; seeds the generator.
    void startRun(SourceCheck check);
    void closeOutput();

    double elapsedSeconds() const;
    void say(const std::string& text) const;
    void sayTime(const char* prefix) const;
    void sayHeader(int c, int k) const;
    // `outcome`, the time and the closing line of a split.
    void sayFooter(const std::string& outcome) const;
    void sayChildren(int c) const;

    std::chrono::steady_clock::time_point m_start;
    std::unique_ptr<DocVec> m_input;
    std::unique_ptr<DocVec> m_output;  // the centroid file being written
    std::string m_memberBase;
    int m_nDocs = 0;
    bool m_ran = false;
    int m_iteration = 0;
    ClusterTable m_table;
    SplitWorkspace m_workspace;
    std::unique_ptr<LaPlacian<double>> m_graph;
    std::vector<DuplicateRecord> m_duplicates;
    int m_current = 0;    // the cluster being split, then the next cluster to read
    int m_readIndex = 0;  // the next document readDocument reads
    double m_sumSimilarity = 0;
};

}  // namespace ovix
