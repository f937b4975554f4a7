#pragma once
// The read buffers of a list's items, all held for the ReadBufferList's
// lifetime (python/ReadBuffer.h), so that the list may change while its bytes
// are read with the interpreter lock released. Made and destroyed with the
// interpreter lock held.

#include <Python.h>

#include <deque>
#include <span>

#include "python/ReadBuffer.h"

namespace ovix::py {

class ReadBufferList {
public:
    // Throws `notAList` when the object is no list (nor a subtype), and
    // `notABuffer` at the first item that offers no contiguous buffer.
    ReadBufferList(PyObject* list, const char* notAList, const char* notABuffer);

    size_t size() const { return m_buffers.size(); }
    std::span<const unsigned char> bytes(size_t i) const { return m_buffers[i].bytes(); }

private:
    std::deque<ReadBuffer> m_buffers;
};

}  // namespace ovix::py
