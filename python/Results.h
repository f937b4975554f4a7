#pragma once
// Building results for Python. Every function returns a new reference or
// throws PythonError with the Python exception set.

#include <Python.h>

#include <cstddef>

#include "python/ErrorGuard.h"
#include "python/PyRef.h"

namespace ovix::py {

enum class Sequence { list, tuple };

// A list or tuple of n items; make(i) returns a new reference to item i, or
// nullptr with a Python exception set, or throws.
template <Sequence kind, class Make>
PyObject* newSequence(std::size_t n, Make make) {
    const auto size = static_cast<Py_ssize_t>(n);
    PyRef sequence(kind == Sequence::list ? PyList_New(size) : PyTuple_New(size));
    if (!sequence)
        throw PythonError();
    for (Py_ssize_t i = 0; i < size; ++i) {
        PyObject* item = make(static_cast<std::size_t>(i));
        if (!item)
            throw PythonError();
        if constexpr (kind == Sequence::list)
            PyList_SET_ITEM(sequence.get(), i, item);
        else
            PyTuple_SET_ITEM(sequence.get(), i, item);
    }
    return sequence.release();
}

template <class Make>
PyObject* newList(std::size_t n, Make make) {
    return newSequence<Sequence::list>(n, make);
}

template <class Make>
PyObject* newTuple(std::size_t n, Make make) {
    return newSequence<Sequence::tuple>(n, make);
}

// The object itself, as a result: a new reference to it.
inline PyObject* sameObject(PyObject* object) {
    Py_INCREF(object);
    return object;
}

}  // namespace ovix::py
