#pragma once
// What the k-nearest-neighbour graph found out about near-duplicate documents:
// one record per document.

namespace ovix {

struct DuplicateRecord {
    int duplicateOf = -1;   // the representative of the document's group, -1 for none
    double similarity = 0;  // to its nearest neighbour, when it is not its own representative
};

}  // namespace ovix
