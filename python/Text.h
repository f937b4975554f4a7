#pragma once
// Texts across the Python boundary. Text arguments are str (encoded as UTF-8,
// undecodable bytes carried as surrogates) or bytes; text results are str
// decoded the same way, and feature-id texts are bytes.

#include <Python.h>

#include <string_view>

#include "features/Fid.h"
#include "python/PyRef.h"

namespace ovix::py {

// A text argument, read up to its first NUL byte by the code it is given to.
// None gives a null text.
class TextArg {
public:
    // False, with no Python error set, when the object is not a text or None.
    bool convert(PyObject* object);
    const char* data() const { return m_bytes ? PyBytes_AS_STRING(m_bytes.get()) : nullptr; }

private:
    PyRef m_bytes;
};

// The UTF-8 bytes of a str, or the bytes object itself; none, with no error
// set, for anything else.
PyRef textBytes(PyObject* object);

// The Fid of a str or bytes: its first 8 bytes, padded with blanks. Throws
// "Fid constructor only works with strings" for any other object.
Fid fidFromText(PyObject* object);

// bytes of the id without its trailing blanks.
PyObject* fidText(const Fid& fid);

// str of the bytes; throws PythonError when Python cannot make it.
PyObject* newText(std::string_view text);

// bytes, throwing PythonError when Python cannot make it.
PyObject* newBytes(std::string_view bytes);

// The `char [FID_LEN]` argument rule: a text of at most FID_LEN bytes,
// zero-filled, or None for FID_LEN zero bytes.
bool asFidBytes(PyObject* object, char (&out)[FID_LEN]);

}  // namespace ovix::py
