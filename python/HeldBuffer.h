#pragma once
// A Python object's bytes lent to a document-vector sink: the buffer stays
// exported, and the object alive, until the sink lets it go, so a bytearray
// cannot be resized under the sink's rows. Made and destroyed with the
// interpreter lock held.

#include <Python.h>

#include "features/HeldBytes.h"
#include "python/ReadBuffer.h"

namespace ovix::py {

class HeldBuffer : public HeldBytes {
public:
    // Throws "Need a buffer" when the object offers no contiguous buffer.
    explicit HeldBuffer(PyObject* object) : m_buffer(object, "Need a buffer") {}
    std::span<const unsigned char> bytes() const override { return m_buffer.bytes(); }

private:
    ReadBuffer m_buffer;
};

// Hands a Python object to a sink, which holds it as a HeldBuffer.
HoldBytes holdBuffer(PyObject* object);

}  // namespace ovix::py
