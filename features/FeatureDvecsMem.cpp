#include "features/FeatureDvecsMem.h"

#include <stdexcept>

namespace ovix {

FeatureDvecsMem::FeatureDvecsMem(int n, [[maybe_unused]] int m) {
    if (n < 0)
        throw std::runtime_error("Negative number of elements");
    m_table = std::make_shared<DvecTable>(n);
}

FeatureDvecsMem::~FeatureDvecsMem() {
    m_table->retire();
}

void FeatureDvecsMem::reset() {
    auto fresh = std::make_shared<DvecTable>(size());
    m_table->retire();
    m_table = std::move(fresh);
}

void FeatureDvecsMem::addFeatures(int id, int label, const HoldBytes& dvir) {
    m_table->add(id, label, dvir);
}

DvecTableRef FeatureDvecsMem::getDvecs() const {
    if (count() < size())
        throw std::runtime_error("dvec not complete");
    return DvecTableRef(m_table);
}

}  // namespace ovix
