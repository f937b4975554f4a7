#pragma once
// The centroids of the children of a split, listed by feature id, for the
// similarity of one document to all of them at once: the same
// single-precision sums as sparseDotProduct's merge of the document with each
// centroid, bit for bit, in a time that grows with the document's length and
// the centroids that share its ids, instead of with the centroids' lengths.
//
// The centroids must hold ascending, distinct ids. A document gets the
// merge's sums only when its ids ascend strictly (see strictlyAscending);
// the merge of any other document does not pair ids the same way.

#include <cstdint>
#include <span>
#include <vector>

#include "features/Fid.h"

namespace ovix {

class CentroidIndex {
public:
    // Indexes the centroids; centroid i is child i. Any earlier index goes.
    void build(const std::vector<std::span<const DocVecI>>& centroids);

    // scores[i] = the sum over the ids that `doc` shares with centroid i of
    // the products of their weights, added in `doc`'s order. `scores` has one
    // element per centroid.
    void similarities(std::span<const DocVecI> doc, std::span<float> scores) const;

    static bool strictlyAscending(std::span<const DocVecI> doc);

private:
    struct Posting {
        int child;
        float weight;
    };
    struct Slot {
        std::uint64_t id = 0;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;  // 0: an empty slot
    };

    std::size_t slotOf(std::uint64_t id) const;

    std::vector<Slot> m_slots;  // open addressing, a power of two of them
    std::vector<Posting> m_postings;
    int m_shift = 63;  // 64 - log2(the slot count)
};

}  // namespace ovix
