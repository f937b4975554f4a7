#include "compat/browser/DataObject.h"

namespace compat {

void ReleaseStgMedium(StgMedium& medium) {
    if (medium.tymed == TYMED_HGLOBAL && medium.global != 0)
        GlobalFree(medium.global);
    medium = StgMedium{};
}

}  // namespace compat
