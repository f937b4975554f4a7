#pragma once
// The cluster tree of a clustering run and the cluster of every document.
//
// Clusters are records numbered in creation order: the root is 0, and the
// children of a cluster are the consecutive records firstChild .. endChild-1,
// appended together when the cluster is split; a record whose firstChild
// equals its endChild is a leaf. Every index is checked: one outside the
// table throws a CheckFailure of the table (cluster/ClusterFailure.h).

#include <vector>

#include "cluster/ClusterFailure.h"
#include "features/Fid.h"

namespace ovix {

struct ClusterRecord {
    int parent = 0;
    int firstChild = 0;
    int endChild = 0;
    int size = 0;                   // documents in the cluster
    std::vector<DocVecI> centroid;  // sorted by id, of unit length or empty
};

class ClusterTable {
public:
    // The root alone, holding every document.
    explicit ClusterTable(int documentCount);

    int documentCount() const { return static_cast<int>(m_docCluster.size()); }
    int clusterCount() const { return static_cast<int>(m_records.size()); }

    const ClusterRecord& record(int cluster) const;
    int docCluster(int doc) const;

    // The child of `cluster` that holds `doc`, as an offset from its first
    // child, or -1 when the document is not in one of its children.
    int childOffset(int doc, int cluster) const;

    // Appends k leaf children of size 0 to `cluster` and returns the index of
    // the first, or -1 (and nothing changes) when k is below 1.
    int appendChildren(int cluster, int k);

    // Moves `doc` to the child `offset` of `cluster`, which must be one of its
    // children.
    void assignChild(int doc, int cluster, int offset);

    void setSize(int cluster, int size);
    // Stores a centroid, which must be of unit length or empty.
    void setCentroid(int cluster, std::vector<DocVecI> centroid);

private:
    ClusterRecord& recordAt(int cluster, ClusterTableCheck check);
    void checkDoc(int doc, ClusterTableCheck check) const;
    void checkCluster(int cluster, ClusterTableCheck check) const;

    std::vector<ClusterRecord> m_records;
    std::vector<int> m_docCluster;
};

}  // namespace ovix
