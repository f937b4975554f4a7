#include "python/ReadBuffer.h"

#include <stdexcept>

namespace ovix::py {

ReadBuffer::ReadBuffer(PyObject* object, const char* errorText) {
    if (!object || PyObject_GetBuffer(object, &m_view, PyBUF_SIMPLE) != 0) {
        PyErr_Clear();
        throw std::runtime_error(errorText);
    }
}

}  // namespace ovix::py
