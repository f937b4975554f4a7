#pragma once
// The children of the cluster being split: per child a centroid and a
// document count.
//
// A centroid is summed in a hash map from feature id to weight ("map form"),
// then turned by normalise() into an array of entries sorted by id and scaled
// to unit length ("array form"), against which a document's similarity is
// one merge of two sorted lists, or, for all children at once, a walk over
// the document's ids in an index of the centroids. An empty array means map
// form.

#include <cstdint>
#include <span>
#include <vector>

#include "cluster/CentroidIndex.h"
#include "cluster/WeightSums.h"
#include "features/Fid.h"

namespace ovix {

class SplitWorkspace {
public:
    // maxFeatures > 0 keeps only that many of the heaviest entries of a
    // centroid at each normalise(); 0 keeps them all.
    explicit SplitWorkspace(int maxFeatures);

    // k children, each with an empty centroid and no document.
    void reset(int k);
    int count() const { return static_cast<int>(m_children.size()); }

    // Empties every centroid and zeroes every document count.
    void clear();
    // Zeroes every document count; the centroids stay.
    void zeroCounts();

    // Adds the document's weights to the child's centroid, which goes back to
    // map form first, and counts the document.
    void add(int child, std::span<const DocVecI> doc);
    // Counts a document without touching the centroid.
    void countDocument(int child) { ++m_children[static_cast<std::size_t>(child)].documents; }
    int documents(int child) const { return m_children[static_cast<std::size_t>(child)].documents; }

    // Every centroid in map form that is not empty becomes an array, cut to
    // the heaviest entries when there is a limit, sorted by id and divided by
    // its Euclidean norm (unless that is 0).
    void normalise();

    // The sum over the ids that both hold of the products of the document's
    // weights and the centroid's, in single precision, in ascending id order.
    float similarity(int child, std::span<const DocVecI> doc) const;
    // The similarity of the document to every child (one per child), the
    // same sums as similarity() to each.
    void similarities(std::span<const DocVecI> doc, std::span<float> out) const;

    // Empties the centroid of every child with fewer documents; whether any
    // was.
    bool dissolveSmallerThan(int minDocuments);

    // A copy of the child's centroid as entries sorted by id.
    std::vector<DocVecI> centroid(int child) const;

private:
    struct Child {
        WeightSums sums;               // map form
        std::vector<DocVecI> entries;  // array form
        int documents = 0;
    };

    Child& child(int i) { return m_children[static_cast<std::size_t>(i)]; }
    const Child& child(int i) const { return m_children[static_cast<std::size_t>(i)]; }
    static std::vector<DocVecI> sortedEntries(const Child& c);
    void buildIndex();

    int m_maxFeatures;
    std::vector<Child> m_children;
    CentroidIndex m_index;   // of the children's arrays
    bool m_indexed = false;  // whether the index holds the centroids as they are
};

}  // namespace ovix
