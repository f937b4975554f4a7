#include "python/Numbers.h"

#include <climits>

namespace ovix::py {
namespace {

// The value of an int (or subtype) when it fits 64 bits.
bool asLongLong(PyObject* object, long long* value) {
    if (!PyLong_Check(object))
        return false;
    int overflow = 0;
    *value = PyLong_AsLongLongAndOverflow(object, &overflow);
    if (overflow != 0)
        return false;
    if (*value == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    return true;
}

}  // namespace

bool asInt(PyObject* object, int* out) {
    long long value;
    if (!asLongLong(object, &value) || value < INT_MIN || value > INT_MAX)
        return false;
    if (out)
        *out = static_cast<int>(value);
    return true;
}

bool asBool(PyObject* object, bool* out) {
    int value;
    if (!asInt(object, &value))
        return false;
    if (out)
        *out = value != 0;
    return true;
}

bool asDouble(PyObject* object, double* out) {
    double value;
    if (PyFloat_Check(object)) {
        value = PyFloat_AS_DOUBLE(object);
    } else if (PyLong_Check(object)) {
        value = PyLong_AsDouble(object);
        if (value == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            return false;
        }
    } else {
        return false;
    }
    if (out)
        *out = value;
    return true;
}

UnsignedLongRule asUnsignedLong(PyObject* object, unsigned long* out) {
    long long value;
    if (!asLongLong(object, &value))
        return UnsignedLongRule::invalid;
    if (value < 0)
        return value >= INT_MIN ? UnsignedLongRule::negative : UnsignedLongRule::invalid;
    if (value > 4294967295LL)
        return UnsignedLongRule::invalid;
    if (out)
        *out = static_cast<unsigned long>(value);
    return UnsignedLongRule::ok;
}

}  // namespace ovix::py
