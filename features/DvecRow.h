#pragma once
// _dVec: one document of an in-memory batch, as the classifier reads it. The
// row does not own its entries: they belong to the table that made it
// (DvecTable).

#include "features/Fid.h"

namespace ovix {

struct _dVec {
    int id = 0;
    int nEntries = 0;  // whole DocVecI entries at `entries`
    int label = 0;
    const DocVecI* entries = nullptr;
};

}  // namespace ovix
