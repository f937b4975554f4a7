#include "python/Text.h"

#include <cstring>
#include <stdexcept>

#include "python/ErrorGuard.h"

namespace ovix::py {

PyRef textBytes(PyObject* object) {
    if (PyBytes_Check(object))
        return PyRef::borrowed(object);
    if (!PyUnicode_Check(object))
        return PyRef();
    PyRef bytes(PyUnicode_AsEncodedString(object, "utf-8", "surrogateescape"));
    if (!bytes)
        PyErr_Clear();
    return bytes;
}

bool TextArg::convert(PyObject* object) {
    m_bytes = PyRef();
    if (object == Py_None)
        return true;
    m_bytes = textBytes(object);
    return bool(m_bytes);
}

Fid fidFromText(PyObject* object) {
    const PyRef bytes = textBytes(object);
    if (!bytes)
        throw std::runtime_error("Fid constructor only works with strings");
    return Fid(std::string_view(PyBytes_AS_STRING(bytes.get()), PyBytes_GET_SIZE(bytes.get())));
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
    const PyRef bytes = textBytes(object);
    if (!bytes)
        return false;
    const Py_ssize_t n = PyBytes_GET_SIZE(bytes.get());
    const bool fits = n <= FID_LEN;
    if (fits)
        std::memcpy(out, PyBytes_AS_STRING(bytes.get()), static_cast<size_t>(n));
    return fits;
}

}  // namespace ovix::py
