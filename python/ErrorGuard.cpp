#include "python/ErrorGuard.h"

#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "python/PyRef.h"

namespace ovix::py {

void setRuntimeError(const char* text) {
    const PyRef message(PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)), "surrogateescape"));
    if (!message)
        return;  // the decoding error stands
    PyErr_SetObject(PyExc_RuntimeError, message.get());
}

void raiseCurrentException() noexcept {
    try {
        throw;
    } catch (const PythonError&) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_SystemError, "error return without exception set");
    } catch (const char* text) {
        setRuntimeError(text);
    } catch (const std::string& text) {
        setRuntimeError(text.c_str());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        setRuntimeError(e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "unknown C++ exception");
    }
}

void raiseNoMatchingOverload(const char* swigMessage) {
    const std::string_view text(swigMessage);
    const size_t open = text.find('\'');
    const size_t close = open == std::string_view::npos ? open : text.find('\'', open + 1);
    const std::string name(close == std::string_view::npos ? text : text.substr(open + 1, close - open - 1));
    PyErr_Format(PyExc_NotImplementedError, "No matching function for overloaded '%s'", name.c_str());
}

}  // namespace ovix::py
