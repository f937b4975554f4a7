#pragma once
// A document-vector sink that keeps a batch of exactly n documents in memory,
// as a table of _dVec rows that point into the vectors added: each vector
// stays held until the sink is reset or destroyed. Reset and destroy it as the
// vectors' owner requires (Python buffers: with the interpreter lock held).

#include <memory>

#include "features/DvecTable.h"
#include "features/DvecTableRef.h"
#include "features/FeatureDvecs.h"

namespace ovix {

class FeatureDvecsMem : public FeatureDvecs {
public:
    // A sink for n documents; m has no effect. Throws "Negative number of
    // elements" for n below 0. Rows are allocated as they are filled.
    explicit FeatureDvecsMem(int n, int m = 0);
    ~FeatureDvecsMem() override;
    FeatureDvecsMem(const FeatureDvecsMem&) = delete;
    FeatureDvecsMem& operator=(const FeatureDvecsMem&) = delete;

    // Releases every vector and starts an empty table of n rows; references
    // handed out before give no more rows.
    void reset() override;
    // Fills the next row. Throws "Too many elements" once n rows are filled,
    // else what `dvir` throws.
    void addFeatures(int id, int label, const HoldBytes& dvir) override;
    // Does nothing.
    void close() override {}

    int size() const { return m_table->capacity(); }
    int count() const { return m_table->count(); }

    // The table once all n rows are filled; throws "dvec not complete" before.
    DvecTableRef getDvecs() const;

private:
    std::shared_ptr<DvecTable> m_table;
};

}  // namespace ovix
