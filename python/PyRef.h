#pragma once
// An owned reference to a Python object, let go when the PyRef goes, so that
// every way out of the code that holds it lets go of it once. Move-only;
// made, moved and destroyed with the interpreter lock held.

#include <Python.h>

#include <utility>

namespace ovix::py {

class PyRef {
public:
    PyRef() = default;
    // Takes over `owned`: a new reference, or null for none.
    explicit PyRef(PyObject* owned) noexcept : m_object(owned) {}
    // A reference of its own to an object that the caller only borrows.
    static PyRef borrowed(PyObject* object) noexcept {
        Py_XINCREF(object);
        return PyRef(object);
    }
    PyRef(PyRef&& other) noexcept : m_object(other.release()) {}
    // Lets go of the reference held, through `taken`, once it holds the other's.
    PyRef& operator=(PyRef&& other) noexcept {
        PyRef taken(std::move(other));
        std::swap(m_object, taken.m_object);
        return *this;
    }
    ~PyRef() { Py_XDECREF(m_object); }

    PyObject* get() const noexcept { return m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }
    // Hands the reference to the caller; the PyRef holds none after.
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(m_object, nullptr); }

private:
    PyObject* m_object = nullptr;
};

}  // namespace ovix::py
