#include "python/ReadBufferList.h"

#include <stdexcept>

#include "python/PyRef.h"

namespace ovix::py {

ReadBufferList::ReadBufferList(PyObject* list, const char* notAList, const char* notABuffer) {
    if (!PyList_Check(list))
        throw std::runtime_error(notAList);
    // The size is read again for every item: an exporter may run code that
    // changes the list.
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
        const PyRef item = PyRef::borrowed(PyList_GET_ITEM(list, i));
        m_buffers.emplace_back(item.get(), notABuffer);
    }
}

}  // namespace ovix::py
