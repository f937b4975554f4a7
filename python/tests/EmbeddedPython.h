#pragma once
// Tests of the binding's C++ side run inside an embedded interpreter.

#include <Python.h>

#include <gtest/gtest.h>

#include <string>

class EmbeddedPython : public ::testing::Environment {
public:
    void SetUp() override { Py_Initialize(); }
    void TearDown() override { Py_Finalize(); }
};

// A new reference to the value of a Python expression.
inline PyObject* eval(const std::string& expression) {
    PyObject* globals = PyDict_New();
    PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
    PyObject* value = PyRun_String(expression.c_str(), Py_eval_input, globals, globals);
    Py_DECREF(globals);
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
    if (!type)
        return "no error";
    PyObject* text = value ? PyObject_Str(value) : nullptr;
    PyObject* bytes = text ? PyUnicode_AsEncodedString(text, "utf-8", "surrogateescape") : nullptr;
    std::string result = reinterpret_cast<PyTypeObject*>(type)->tp_name;
    result += ": ";
    if (bytes)
        result += PyBytes_AS_STRING(bytes);
    Py_XDECREF(bytes);
    Py_XDECREF(text);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    return result;
}
