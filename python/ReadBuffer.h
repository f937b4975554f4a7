#pragma once
// A read-only view of an object's bytes through the buffer protocol. The view
// stays exported for the ReadBuffer's lifetime, so the bytes cannot move or
// change size under it, also while the interpreter lock is released. Made and
// destroyed with the interpreter lock held.

#include <Python.h>

#include <span>

namespace ovix::py {

class ReadBuffer {
public:
    // Throws `errorText` when the object offers no contiguous buffer.
    ReadBuffer(PyObject* object, const char* errorText);
    ~ReadBuffer() { PyBuffer_Release(&m_view); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    std::span<const unsigned char> bytes() const {
        return {static_cast<const unsigned char*>(m_view.buf), static_cast<size_t>(m_view.len)};
    }

private:
    Py_buffer m_view;
};

}  // namespace ovix::py
