#pragma once
// Document sets for the clustering tests, written as binary document-vector
// files, and the reading of what a run left behind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cluster/Cluster.h"
#include "features/DocVec.h"
#include "sgt/tests/Documents.h"
#include "testing/DocVecFiles.h"
#include "testing/FailureText.h"

namespace ovix::testing {

struct LabelledDocument {
    int id = 0;
    int label = 0;
    Document entries;
};

inline void writeDocuments(const std::string& path, const std::vector<LabelledDocument>& docs) {
    DocVec file(path, DOCVEC_FORMAT_BINARY, true);
    for (const LabelledDocument& d : docs)
        file.writeDoc(d.id, d.label, d.entries);
    file.close();
}

inline std::vector<LabelledDocument> unlabelled(const std::vector<Document>& docs) {
    std::vector<LabelledDocument> out;
    for (std::size_t i = 0; i < docs.size(); ++i)
        out.push_back(LabelledDocument{static_cast<int>(100 + i), 0, docs[i]});
    return out;
}

// `groups` sets of documents over disjoint vocabularies: document i is in
// group i % groups, with `length` entries of positive weights, unit length.
inline std::vector<Document> separatedGroups(int count, int groups, int length, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> term(0, 3 * length - 1);
    std::uniform_real_distribution<float> weight(0.1f, 1.0f);
    std::vector<Document> docs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint64_t> ids;
        while (ids.size() < static_cast<std::size_t>(length)) {
            const std::uint64_t id =
                static_cast<std::uint64_t>(i % groups) * 1000 + static_cast<std::uint64_t>(term(random));
            if (std::find(ids.begin(), ids.end(), id) == ids.end())
                ids.push_back(id);
        }
        std::sort(ids.begin(), ids.end());
        double squares = 0;
        Document& d = docs[static_cast<std::size_t>(i)];
        for (const std::uint64_t id : ids) {
            d.push_back(DocVecI{fidOf(id), weight(random)});
            squares += static_cast<double>(d.back().weight) * d.back().weight;
        }
        for (DocVecI& e : d)
            e.weight = static_cast<float>(e.weight / std::sqrt(squares));
    }
    return docs;
}

inline std::vector<int> docClusters(const Cluster& engine) {
    std::vector<int> clusters;
    for (int i = 0; i < engine.table().documentCount(); ++i)
        clusters.push_back(engine.table().docCluster(i));
    return clusters;
}

inline std::vector<Cluster::ClusterInfo> allClusters(Cluster& engine) {
    std::vector<Cluster::ClusterInfo> clusters;
    const int n = engine.clusterCount();
    for (int i = 0; i < n; ++i)
        clusters.push_back(engine.nextCluster());
    return clusters;
}

inline std::vector<DocVecRecord> readDocuments(const std::string& path) {
    DocVec file(path, DOCVEC_FORMAT_BINARY, false);
    std::vector<DocVecRecord> records;
    file.forEachDoc([&](int, const DocVecRecord& r) {
        records.push_back(r);
        return true;
    });
    return records;
}

// The entries as the bytes a binary file holds, to compare centroids whole.
inline std::string bytesOf(const std::vector<DocVecI>& entries) {
    return {reinterpret_cast<const char*>(entries.data()), entries.size() * sizeof(DocVecI)};
}

inline double squaredLength(const Document& d) {
    double s = 0;
    for (const DocVecI& e : d)
        s += static_cast<double>(e.weight) * e.weight;
    return s;
}

}  // namespace ovix::testing

namespace ovix {

// Reaches the engine's k-means split at any depth.
struct ClusterInternals {
    static void split(Cluster& engine, int cluster, int depth) {
        engine.m_workspace = SplitWorkspace(engine.maxCentroidFeatures);
        engine.split(cluster, depth);
    }
};

}  // namespace ovix
