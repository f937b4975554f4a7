#include "python/Tidy.h"

#include <climits>
#include <stdexcept>
#include <string>

#include "python/ErrorGuard.h"
#include "python/Interpreter.h"
#include "python/Text.h"

namespace ovix::py {

Tidy::Tidy(PyObject* options, PyObject* file) : m_file(PyRef::borrowed(file)) {
    if (!PyDict_Check(options))
        throw std::runtime_error("argument must be a dictionary of options key/values");
    Py_ssize_t position = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(options, &position, &key, &value)) {
        const PyRef name = py::textBytes(key), text = py::textBytes(value);
        if (!name || !text)
            throw std::runtime_error("key and value must be strings");
        m_document.setOption(PyBytes_AS_STRING(name.get()), PyBytes_AS_STRING(text.get()));
    }
}

int Tidy::cleanup(const char* html) {
    std::string page;
    {
        py::AllowThreads unlocked;
        page = m_document.cleanup(html);
    }
    if (page.size() > INT_MAX)
        throw std::length_error("cleaned page too large");
    if (!PyRef(PyObject_CallMethod(m_file.get(), "seek", "i", 0)))
        throw py::PythonError();
    const PyRef bytes(py::newBytes(page));
    if (!PyRef(PyObject_CallMethod(m_file.get(), "write", "O", bytes.get())))
        throw py::PythonError();
    return static_cast<int>(page.size());
}

}  // namespace ovix::py
