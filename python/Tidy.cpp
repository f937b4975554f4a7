#include "python/Tidy.h"

#include <climits>
#include <stdexcept>
#include <string>

#include "python/ErrorGuard.h"
#include "python/Interpreter.h"
#include "python/Text.h"

namespace ovix::py {

namespace {

// The UTF-8 bytes of a str, or a bytes object; nullptr for anything else.
struct OptionText {
    explicit OptionText(PyObject* object) : bytes(py::textBytes(object)) {}
    ~OptionText() { Py_XDECREF(bytes); }
    OptionText(const OptionText&) = delete;
    OptionText& operator=(const OptionText&) = delete;

    const char* chars() const { return PyBytes_AS_STRING(bytes); }

    PyObject* bytes;
};

}  // namespace

Tidy::Tidy(PyObject* options, PyObject* file) {
    if (!PyDict_Check(options))
        throw std::runtime_error("argument must be a dictionary of options key/values");
    Py_ssize_t position = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(options, &position, &key, &value)) {
        const OptionText name(key), text(value);
        if (!name.bytes || !text.bytes)
            throw std::runtime_error("key and value must be strings");
        m_document.setOption(name.chars(), text.chars());
    }
    Py_INCREF(file);
    m_file = file;
}

Tidy::~Tidy() {
    Py_DECREF(m_file);
}

int Tidy::cleanup(const char* html) {
    std::string page;
    {
        py::AllowThreads unlocked;
        page = m_document.cleanup(html);
    }
    if (page.size() > INT_MAX)
        throw std::length_error("cleaned page too large");
    PyObject* rewound = PyObject_CallMethod(m_file, "seek", "i", 0);
    if (!rewound)
        throw py::PythonError();
    Py_DECREF(rewound);
    PyObject* bytes = py::newBytes(page);
    PyObject* written = PyObject_CallMethod(m_file, "write", "O", bytes);
    Py_DECREF(bytes);
    if (!written)
        throw py::PythonError();
    Py_DECREF(written);
    return static_cast<int>(page.size());
}

}  // namespace ovix::py
