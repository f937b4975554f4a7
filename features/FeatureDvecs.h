#pragma once
// A sink for a batch of document vectors: one packed vector per document with
// its id and label. A sink is used by one thread at a time.

#include "features/HeldBytes.h"

namespace ovix {

class FeatureDvecs {
public:
    virtual ~FeatureDvecs() = default;
    // Forgets everything added and starts again.
    virtual void reset() = 0;
    // Adds one document; a failed call leaves the sink as it was.
    virtual void addFeatures(int id, int label, const HoldBytes& dvir) = 0;
    // Finishes the batch.
    virtual void close() = 0;
};

}  // namespace ovix
