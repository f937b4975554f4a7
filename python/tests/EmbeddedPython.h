#pragma once
// Tests of the binding's C++ side run inside an embedded interpreter.

#include <Python.h>

#include <gtest/gtest.h>

#include <string>

#include "python/PyRef.h"

class EmbeddedPython : public ::testing::Environment {
public:
    void SetUp() override { Py_Initialize(); }
    void TearDown() override { Py_Finalize(); }
};

// The value of a Python expression.
inline ovix::py::PyRef eval(const std::string& expression) {
    const ovix::py::PyRef globals(PyDict_New());
    PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins());
    ovix::py::PyRef value(PyRun_String(expression.c_str(), Py_eval_input, globals.get(), globals.get()));
    if (!value) {
        PyErr_Print();
        ADD_FAILURE() << "cannot evaluate " << expression;
    }
    return value;
}

// The pending Python exception as "TypeName: message"; clears it.
inline std::string takeError() {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    const ovix::py::PyRef typeRef(type), valueRef(value), tracebackRef(traceback);
    if (!type)
        return "no error";
    const ovix::py::PyRef text(value ? PyObject_Str(value) : nullptr);
    const ovix::py::PyRef bytes(text ? PyUnicode_AsEncodedString(text.get(), "utf-8", "surrogateescape") : nullptr);
    std::string result = reinterpret_cast<PyTypeObject*>(type)->tp_name;
    result += ": ";
    if (bytes)
        result += PyBytes_AS_STRING(bytes.get());
    return result;
}
