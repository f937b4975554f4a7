#include "cluster/ClusterTable.h"

#include <cmath>
#include <utility>

#include "sgt/CheckFailure.h"

namespace ovix {

namespace {

// A stored centroid's sum of squares may be this far from 1.
constexpr double kUnitTolerance = 0.01;

}  // namespace

ClusterTable::ClusterTable(int documentCount)
    : m_records(1), m_docCluster(static_cast<std::size_t>(documentCount > 0 ? documentCount : 0), 0) {
    m_records[0].size = this->documentCount();
}

void ClusterTable::checkDoc(int doc, ClusterTableCheck check) const {
    if (doc < 0 || doc >= documentCount())
        throw CheckFailure(check, doc);
}

void ClusterTable::checkCluster(int cluster, ClusterTableCheck check) const {
    if (cluster < 0 || cluster >= clusterCount())
        throw CheckFailure(check, cluster);
}

ClusterRecord& ClusterTable::recordAt(int cluster, ClusterTableCheck check) {
    checkCluster(cluster, check);
    return m_records[static_cast<std::size_t>(cluster)];
}

const ClusterRecord& ClusterTable::record(int cluster) const {
    checkCluster(cluster, ClusterTableCheck::recordCluster);
    return m_records[static_cast<std::size_t>(cluster)];
}

int ClusterTable::docCluster(int doc) const {
    checkDoc(doc, ClusterTableCheck::docClusterDoc);
    return m_docCluster[static_cast<std::size_t>(doc)];
}

int ClusterTable::childOffset(int doc, int cluster) const {
    checkDoc(doc, ClusterTableCheck::childOffsetDoc);
    checkCluster(cluster, ClusterTableCheck::childOffsetCluster);
    const ClusterRecord& r = m_records[static_cast<std::size_t>(cluster)];
    const int in = m_docCluster[static_cast<std::size_t>(doc)];
    return in >= r.firstChild && in < r.endChild ? in - r.firstChild : -1;
}

int ClusterTable::appendChildren(int cluster, int k) {
    checkCluster(cluster, ClusterTableCheck::appendChildrenCluster);
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
    checkDoc(doc, ClusterTableCheck::assignChildDoc);
    const ClusterRecord& r = recordAt(cluster, ClusterTableCheck::assignChildCluster);
    const int child = r.firstChild + offset;
    if (offset < 0 || child >= r.endChild)
        throw CheckFailure(ClusterTableCheck::childOutsideNew, child);
    m_docCluster[static_cast<std::size_t>(doc)] = child;
}

void ClusterTable::setSize(int cluster, int size) {
    recordAt(cluster, ClusterTableCheck::setSizeCluster).size = size;
}

void ClusterTable::setCentroid(int cluster, std::vector<DocVecI> centroid) {
    ClusterRecord& r = recordAt(cluster, ClusterTableCheck::setCentroidCluster);
    double squares = 0;
    for (const DocVecI& e : centroid)
        squares += static_cast<double>(e.weight) * e.weight;
    if (squares != 0 && !(std::fabs(squares - 1) <= kUnitTolerance))
        throw CheckFailure(ClusterTableCheck::centroidNotUnit, cluster);
    r.centroid = std::move(centroid);
}

}  // namespace ovix
