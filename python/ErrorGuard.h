#pragma once
// How failures cross into Python. The module's code throws; every row runs its
// call inside a guard that turns the exception in flight into a Python
// exception: a thrown text (std::exception, std::string or const char*) becomes
// RuntimeError with that text, an allocation failure MemoryError.

#include <Python.h>

namespace ovix::py {

// Thrown by binding code after it has set a Python exception itself.
struct PythonError {};

// Called from a catch (...) block: sets the Python exception for the C++
// exception being handled.
void raiseCurrentException() noexcept;

// RuntimeError with a text that need not be valid UTF-8.
void setRuntimeError(const char* text);

// Takes SWIG's "Wrong number or type of arguments for overloaded function
// 'NAME'..." text and raises NotImplementedError "No matching function for
// overloaded 'NAME'".
void raiseNoMatchingOverload(const char* swigMessage);

}  // namespace ovix::py
