#pragma once
// ARPACK's dense steps are products of its n x ncv Arnoldi basis with a vector
// (BLAS dgemv), in the Arnoldi steps and in every restart. The engine links
// ARPACK statically and gives it a dgemv of its own, visible to nothing else:
// while a solve lends its team here, a large product is cut into blocks of
// rows that the team shares out, each block an ordinary BLAS dgemv on one
// thread; small products, and every product while no team is lent, go to the
// BLAS library as they are. A transposed product adds the blocks' partial
// sums in block order, so its result does not depend on the team.
//
// Solves run one at a time (they hold ARPACK's lock): one team at most is
// lent at any time.

#include "sgt/WorkTeam.h"

namespace ovix {

class ArpackBasisProducts {
public:
    // Lends `team` to ARPACK's products for its lifetime.
    explicit ArpackBasisProducts(WorkTeam& team);
    ~ArpackBasisProducts();
    ArpackBasisProducts(const ArpackBasisProducts&) = delete;
    ArpackBasisProducts& operator=(const ArpackBasisProducts&) = delete;

    // A product is cut into blocks of about this many elements (rows x
    // columns), and shared out when that makes two blocks or more.
    static constexpr long long kElementsPerBlock = 1 << 18;
};

}  // namespace ovix
