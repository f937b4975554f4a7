#pragma once
// The module's HTML cleaner: HTML Tidy with its options, and the Python file
// object that every cleaned page is written into. Made, used and destroyed
// with the interpreter lock held; cleanups of one cleaner on several threads
// clean at once and write into the file one after the other.

#include <Python.h>

#include "features/TidyDocument.h"
#include "python/PyRef.h"

namespace ovix::py {

class Tidy {
public:
    // Applies every entry of `options`, a dict of option names to values (str
    // or bytes), in the dict's order, and keeps a reference to `file`. Throws
    // "argument must be a dictionary of options key/values", "key and value
    // must be strings" or "key/value not recognized".
    Tidy(PyObject* options, PyObject* file);

    // Cleans the page with the interpreter lock released (TidyDocument), then
    // writes it into the file from its start with file.seek(0) and one
    // file.write(bytes); the file is not truncated. Returns the number of
    // bytes written. The file's own exceptions propagate.
    int cleanup(const char* html);

private:
    TidyDocument m_document;
    PyRef m_file;
};

}  // namespace ovix::py
