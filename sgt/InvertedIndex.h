#pragma once
// The documents of a set listed by term, for computing the similarity of one
// document to all others at once: the same single-precision sums as
// sparseDotProduct's merge, bit for bit, in a time that grows with the
// postings of the document's terms instead of with the number of documents.
//
// A term is an id together with its occurrence number within the document
// (the second of two equal ids is another term than the first), which is how
// the merge pairs repeated ids. Only documents whose ids never descend are
// indexed; the merge of any other one does not follow id order, and its
// similarities must be taken by the merge itself.
//
// Once built, the index is read-only: const members may be called from
// several threads at once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sgt/SparseDotProduct.h"

namespace ovix {

class InvertedIndex {
public:
    // Indexes `docs`, which must outlive the index.
    explicit InvertedIndex(std::span<const DocEntries> docs);

    // Whether document `doc` is in the index.
    bool indexed(int doc) const { return m_indexed[static_cast<std::size_t>(doc)] != 0; }

    // Adds, for every indexed document j from `first` on (`doc` itself
    // included if it lies there), the products of the weights of the terms
    // it shares with `doc` to scores[j], one term after the other in `doc`'s
    // order. `doc` must be indexed; `scores` has one element per document.
    void accumulate(int doc, int first, float* scores) const;

private:
    struct Posting {
        int doc;
        float weight;
    };

    std::span<const DocEntries> m_docs;
    std::vector<char> m_indexed;             // per document
    std::vector<std::size_t> m_firstEntry;   // per document and one more: its entries in m_termOfEntry
    std::vector<std::uint32_t> m_termOfEntry;
    std::vector<std::size_t> m_firstPosting;  // per term and one more: its postings
    std::vector<Posting> m_postings;          // by term, then by ascending document
};

}  // namespace ovix
