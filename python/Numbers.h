#pragma once
// Conversion rules for numeric arguments. The values a 32-bit Python 2 int or
// long could carry decide, so the rules are by value:
//   int (and the enumerations): an int whose value fits 32 bits, bool included;
//   bool: True, False, or any value the int rule takes (non-zero is true);
//   double: a float, or an int that a double can hold;
//   unsigned long: 0..4294967295; -2147483648..-1 overflows; others are wrong.
// Every function takes a null `out` to test without converting.

#include <Python.h>

namespace ovix::py {

bool asInt(PyObject* object, int* out);
bool asBool(PyObject* object, bool* out);
bool asDouble(PyObject* object, double* out);

enum class UnsignedLongRule { ok, negative, invalid };
UnsignedLongRule asUnsignedLong(PyObject* object, unsigned long* out);

}  // namespace ovix::py
