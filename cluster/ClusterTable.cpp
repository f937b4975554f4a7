#include "cluster/ClusterTable.h"

#include <cmath>
#include <utility>

#include "cluster/ClusterFailure.h"

namespace {

using ovix::ClusterSource;
using ovix::throwClusterFailure;

// A stored centroid's sum of squares may be this far from 1.
constexpr double kUnitTolerance = 0.01;

}  // namespace

ClusterTable::ClusterTable(int documentCount)
    : m_records(1), m_docCluster(static_cast<std::size_t>(documentCount > 0 ? documentCount : 0), 0) {
    m_records[0].size = this->documentCount();
}

void ClusterTable::checkDoc(int doc, int line) const {
    if (doc < 0 || doc >= documentCount())
        throwClusterFailure(ClusterSource::table, line, doc);
}

void ClusterTable::checkCluster(int cluster, int line) const {
    if (cluster < 0 || cluster >= clusterCount())
        throwClusterFailure(ClusterSource::table, line, cluster);
}

ClusterRecord& ClusterTable::recordAt(int cluster, int line) {
    checkCluster(cluster, line);
    return m_records[static_cast<std::size_t>(cluster)];
}

const ClusterRecord& ClusterTable::record(int cluster) const {
    checkCluster(cluster, 390);
    return m_records[static_cast<std::size_t>(cluster)];
}

int ClusterTable::docCluster(int doc) const {
    checkDoc(doc, 367);
    return m_docCluster[static_cast<std::size_t>(doc)];
}

int ClusterTable::childOffset(int doc, int cluster) const {
    checkDoc(doc, 384);
    checkCluster(cluster, 385);
    const ClusterRecord& r = m_records[static_cast<std::size_t>(cluster)];
    const int in = m_docCluster[static_cast<std::size_t>(doc)];
    return in >= r.firstChild && in < r.endChild ? in - r.firstChild : -1;
}

int ClusterTable::appendChildren(int cluster, int k) {
    checkCluster(cluster, 420);
    if (k < 1)
        return -1;
    const int first = clusterCount();
    m_records.resize(m_records.size() + static_cast<std::size_t>(k));
    for (int i = first; i < first + k; ++i)
        m_records[static_cast<std::size_t>(i)].parent = cluster;
    ClusterRecord& parent = m_records[static_cast<std::size_t>(cluster)];
    parent.firstChild = first;
    parent.endChild = first + k;
    return first;
}

void ClusterTable::assignChild(int doc, int cluster, int offset) {
    checkDoc(doc, 400);
    const ClusterRecord& r = recordAt(cluster, 406);
    const int child = r.firstChild + offset;
    if (offset < 0 || child >= r.endChild)
        throwClusterFailure(ClusterSource::table, 513, child);
    m_docCluster[static_cast<std::size_t>(doc)] = child;
}

void ClusterTable::setSize(int cluster, int size) {
    recordAt(cluster, 433).size = size;
}

void ClusterTable::setCentroid(int cluster, std::vector<DocVecI> centroid) {
    ClusterRecord& r = recordAt(cluster, 435);
    double squares = 0;
    for (const DocVecI& e : centroid)
        squares += static_cast<double>(e.weight) * e.weight;
    if (squares != 0 && !(std::fabs(squares - 1) <= kUnitTolerance))
        throwClusterFailure(ClusterSource::table, 445, cluster);
    r.centroid = std::move(centroid);
}

std::vector<DocVecI> ClusterTable::takeCentroid(int cluster) {
    return std::exchange(recordAt(cluster, 450).centroid, {});
}
