#pragma once
// The steps of ARPACK on its n x ncv Arnoldi basis and on vectors of order n,
// shared over a solve's team. ARPACK is linked statically, and the engine
// gives it its own BLAS and LAPACK entry points for those steps, visible to
// nothing else:
// - dgemv, the basis products of the Arnoldi steps (orthogonalisation) and of
//   every restart (the basis update);
// - dcopy, dscal and dnrm2 on vectors of order n;
// - dorm2r from the right, the update of the basis into Ritz vectors at the
//   end of a solve.
// While a solve lends its team here, each such step on n rows is cut into
// the same blocks of rows, a multiple of the threads that the solve is cut
// for, so that each of them takes as many blocks (their number and sizes
// depend on n and that count, not on the team), each block an ordinary call
// of the BLAS or LAPACK library on one thread, and the team shares the blocks
// out; a thread meets the same rows in every step. Sums across blocks (the
// transposed product, the norm) are added in block order, so the results do
// not depend on the team. Steps on fewer rows, of other shapes or strides,
// and every step while no team is lent, go to the library as they are.
//
// Solves run one at a time (they hold ARPACK's lock): one team at most is
// lent at any time.

#include "sgt/WorkTeam.h"

namespace ovix {

class ArpackSharedBlas {
public:
    // Lends `team` to ARPACK's steps for its lifetime, the steps cut for
    // `threads` threads (at least 1).
    ArpackSharedBlas(WorkTeam& team, unsigned threads);
    ~ArpackSharedBlas();
    ArpackSharedBlas(const ArpackSharedBlas&) = delete;
    ArpackSharedBlas& operator=(const ArpackSharedBlas&) = delete;

    // n rows are cut into as many blocks for each thread, of half to one
    // and a half times kRowsPerBlock rows, a multiple of 8 (whole cache lines
    // of a column); fewer rows than half a block for each thread are one
    // step. A block's rows of a column are one run through memory, long
    // enough for the processor's prefetching to stream it.
    static constexpr long long kRowsPerBlock = 2048;
};

}  // namespace ovix
