#include "cluster/HierClus.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "cluster/Cluster.h"
#include "features/Dvir.h"

namespace ovix {

namespace {

// The levels of a binary tree with at least n leaves: ceil(log2(n)), in
// integers, so that no power of two is rounded up a level.
int treeDepth(int n) {
    return n <= 1 ? 0 : std::bit_width(static_cast<unsigned>(n - 1));
}

// The topN heaviest entries, sorted by id; ties keep the lower ids.
void keepHeaviest(std::vector<DocVecI>& entries, int topN) {
    if (topN <= 0 || entries.size() <= static_cast<std::size_t>(topN))
        return;
    dvirSortById(entries);
    std::stable_sort(entries.begin(), entries.end(), dvirWeightGreater);
    entries.resize(static_cast<std::size_t>(topN));
    dvirSortById(entries);
}

}  // namespace

HierClus::HierClus(const char* name, int nClusters, bool writeMembers, int minClusterSize, bool seedFromLabels,
                   int maxCentroidFeatures, ClassifierClusteringAlg alg, int k, double dupThreshold)
    : m_name(name ? name : ""), m_graphIds(alg == CLASSIFIER_CLUSTERING_ALG_GRAPH) {
    if (nClusters < 1)
        throw std::runtime_error("nClusters must be 1 or more");
    if (maxCentroidFeatures < 0)
        throw std::runtime_error("maxCentroidFeatures must be 0 or more");
    m_engine = std::make_unique<Cluster>(m_name.c_str(), writeMembers ? m_name.c_str() : nullptr);
    // A k-means child costs a centroid and a record, and one beyond the
    // documents could only stay empty. The graph algorithm takes the count
    // for a depth alone: its cuts need two documents each.
    const int nDocs = m_engine->documentCount();
    if (alg != CLASSIFIER_CLUSTERING_ALG_GRAPH && nClusters > nDocs)
        throw std::runtime_error("nClusters " + std::to_string(nClusters) + " is more than the " +
                                 std::to_string(nDocs) + " documents of " + m_name);
    m_engine->minClusterSize = minClusterSize;
    const std::string output = m_name + ".clusters";
    m_engine->openOutput(output.c_str());
    m_engine->maxCentroidFeatures = maxCentroidFeatures;
    if (seedFromLabels)
        m_engine->initMode = 2;

    switch (alg) {
        case CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT:
            m_engine->maxIterations = 1;
            [[fallthrough]];
        case CLASSIFIER_CLUSTERING_ALG_KMEANS:
            m_engine->clustersPerDepth = {nClusters};
            m_engine->run(nClusters);
            break;
        case CLASSIFIER_CLUSTERING_ALG_GRAPH:
            m_engine->runGraph(k, treeDepth(nClusters), std::numeric_limits<double>::infinity(), dupThreshold);
            break;
        default:
            throw std::runtime_error("Unknown alg");
    }
}

HierClus::~HierClus() = default;

std::vector<HierClus::Document> HierClus::getDocs() {
    const int n = m_engine->docCount();
    std::vector<Document> docs;
    docs.reserve(static_cast<std::size_t>(n));
    DocVecRecord record;
    for (int i = 0; i < n; ++i) {
        const int cluster = m_engine->readDocument(record);
        docs.push_back(Document{record.id, publicId(cluster)});
    }
    return docs;
}

std::vector<HierClus::Leaf> HierClus::getClusters(int topN) {
    if (topN < 0)
        throw std::runtime_error("topN must be 0 or more");
    const int n = m_engine->clusterCount();
    std::vector<Cluster::ClusterInfo> clusters;
    clusters.reserve(static_cast<std::size_t>(n));
    std::set<int> parents;
    for (int i = 0; i < n; ++i) {
        clusters.push_back(m_engine->nextCluster());
        parents.insert(clusters.back().parent);
        keepHeaviest(clusters.back().centroid, topN);
    }

    std::vector<Leaf> leaves;
    for (Cluster::ClusterInfo& c : clusters)
        if (!parents.contains(c.id))
            leaves.push_back(Leaf{publicId(c.id), c.size, std::move(c.centroid), std::move(c.memberFile)});
    if (leaves.size() != static_cast<std::size_t>(n) - parents.size())
        throw std::runtime_error("Logic error:  li and leafSize are different");
    return leaves;
}

std::vector<HierClus::Duplicate> HierClus::getWithinSimilarityMap() {
    m_engine->docCount();
    std::vector<Duplicate> found;
    const std::vector<DuplicateRecord>& duplicates = m_engine->duplicates();
    for (std::size_t i = 0; i < duplicates.size(); ++i) {
        const int doc = static_cast<int>(i);
        const DuplicateRecord& d = duplicates[i];
        if (d.duplicateOf != -1 && d.duplicateOf != doc)
            found.push_back(Duplicate{doc, d.duplicateOf, d.similarity});
    }
    return found;
}

}  // namespace ovix
