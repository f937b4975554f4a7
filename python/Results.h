#pragma once
// Building results for Python. Every function returns a new reference or
// throws PythonError with the Python exception set.

#include <Python.h>

#include <cstddef>

#include "python/ErrorGuard.h"

namespace ovix::py {

// A list of n items; make(i) returns a new reference to item i, or nullptr
// with a Python exception set, or throws.
template <class Make>
PyObject* newList(std::size_t n, Make make) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
    if (!list)
        throw PythonError();
    for (std::size_t i = 0; i < n; ++i) {
        PyObject* item = nullptr;
        try {
            item = make(i);
        } catch (...) {
            Py_DECREF(list);
            throw;
        }
        if (!item) {
            Py_DECREF(list);
            throw PythonError();
        }
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

// The object itself, as a result: a new reference to it.
inline PyObject* sameObject(PyObject* object) {
    Py_INCREF(object);
    return object;
}

}  // namespace ovix::py
