#include "python/HeldBuffer.h"

namespace ovix::py {

HoldBytes holdBuffer(PyObject* object) {
    return [object] { return std::make_unique<HeldBuffer>(object); };
}

}  // namespace ovix::py
