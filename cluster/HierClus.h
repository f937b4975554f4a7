#pragma once
// The clustering front: making a HierClus clusters a document-vector file
// (binary format) at once, writes the centroid file "NAME.clusters" (an empty
// root record, then one record per cluster in id order), and leaves the tree
// and the centroids in memory for three queries: what another run writes over
// the same files later changes none of its answers. Every failure is thrown as
// a text; a constructor that throws leaves nothing behind but the files it
// wrote.
//
// A HierClus is used by one thread at a time.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/Fid.h"

namespace ovix {

class Cluster;

enum ClassifierClusteringAlg : int {
    CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT = 0,  // each document to the nearest initial centroid
    CLASSIFIER_CLUSTERING_ALG_GRAPH = 1,           // recursive spectral two-way cuts
    CLASSIFIER_CLUSTERING_ALG_KMEANS = 2,          // k-means-style iteration
};

class HierClus {
public:
    // Clusters the file `name` into nClusters (k-means algorithms: ids
    // 1..nClusters under the root) or into a binary tree of at most
    // ceil(log2(nClusters)) levels of cuts (graph algorithm, over a k-nearest-
    // neighbour graph; cuts that leave a part below minClusterSize are
    // refused). writeMembers: getClusters writes "NAME.cluID" member files.
    // seedFromLabels: the k-means centroids start from the documents labelled
    // 1..nClusters. maxCentroidFeatures > 0 keeps only that many of the
    // heaviest entries of each centroid. Throws "Unknown alg" for another alg,
    // and refuses a k-means nClusters beyond the documents of the file.
    HierClus(const char* name, int nClusters, bool writeMembers = false, int minClusterSize = 0,
             bool seedFromLabels = false, int maxCentroidFeatures = 0,
             ClassifierClusteringAlg alg = CLASSIFIER_CLUSTERING_ALG_KMEANS, int k = 100, double dupThreshold = 0.0);
    ~HierClus();
    HierClus(const HierClus&) = delete;
    HierClus& operator=(const HierClus&) = delete;

    struct Document {
        int id;       // from its record
        int cluster;  // the leaf that holds it
    };
    // Every document of the file, in file order.
    std::vector<Document> getDocs();

    struct Leaf {
        int id;
        int size;                               // documents
        std::vector<DocVecI> centroid;          // sorted by id
        std::optional<std::string> memberFile;  // when written
    };
    // The leaf clusters in id order, each centroid cut to its topN heaviest
    // entries when topN > 0. Rewrites the member files when they are asked for.
    std::vector<Leaf> getClusters(int topN = 0);

    struct Duplicate {
        int doc;          // position in the file
        int duplicateOf;  // position of its group's representative
        double similarity;
    };
    // The near-duplicates the graph algorithm found, by position; none after
    // a k-means run.
    std::vector<Duplicate> getWithinSimilarityMap();

private:
    int publicId(int engineId) const { return m_graphIds ? engineId + 1 : engineId; }

    std::string m_name;
    std::unique_ptr<Cluster> m_engine;
    bool m_graphIds;
};

}  // namespace ovix
