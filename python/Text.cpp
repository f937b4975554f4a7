#include "python/Text.h"

#include <cstring>
#include <stdexcept>

#include "python/ErrorGuard.h"

namespace ovix::py {

PyObject* textBytes(PyObject* object) {
    if (PyBytes_Check(object)) {
        Py_INCREF(object);
        return object;
    }
    if (!PyUnicode_Check(object))
        return nullptr;
    PyObject* bytes = PyUnicode_AsEncodedString(object, "utf-8", "surrogateescape");
    if (!bytes)
        PyErr_Clear();
    return bytes;
}

bool TextArg::convert(PyObject* object) {
    Py_CLEAR(m_bytes);
    if (object == Py_None)
        return true;
    m_bytes = textBytes(object);
    return m_bytes != nullptr;
}

Fid fidFromText(PyObject* object) {
    PyObject* bytes = textBytes(object);
    if (!bytes)
        throw std::runtime_error("Fid constructor only works with strings");
    const Fid fid(std::string_view(PyBytes_AS_STRING(bytes), PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return fid;
}

PyObject* fidText(const Fid& fid) {
    return newBytes(fid.text());
}

PyObject* newText(std::string_view text) {
    PyObject* str = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
    if (!str)
        throw PythonError();
    return str;
}

PyObject* newBytes(std::string_view bytes) {
    PyObject* result = PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!result)
        throw PythonError();
    return result;
}

bool asFidBytes(PyObject* object, char (&out)[FID_LEN]) {
    std::memset(out, 0, FID_LEN);
    if (object == Py_None)
        return true;
    PyObject* bytes = textBytes(object);
    if (!bytes)
        return false;
    const Py_ssize_t n = PyBytes_GET_SIZE(bytes);
    const bool fits = n <= FID_LEN;
    if (fits)
        std::memcpy(out, PyBytes_AS_STRING(bytes), static_cast<size_t>(n));
    Py_DECREF(bytes);
    return fits;
}

}  // namespace ovix::py
