// Rules every row of the module follows: argument conversion, results,
// ownership and errors. The family files only declare what they expose.

%{
#include <cstring>
#include <string_view>

#include "python/ErrorGuard.h"
#include "python/InUse.h"
#include "python/Interpreter.h"
#include "python/Loans.h"
#include "python/Numbers.h"
#include "python/PyRef.h"
#include "python/ReadBuffer.h"
#include "python/Text.h"

// No form of an overloaded row matches: NotImplementedError, not TypeError.
#define SWIG_Python_RaiseOrModifyTypeError(message) ovix::py::raiseNoMatchingOverload(message)

namespace ovix::py {

// Clears a pointer object whose native object is being destroyed, so that its
// proxy can no longer reach freed memory.
void forgetObject(PyObject* input) {
    if (SwigPyObject* object = SWIG_Python_GetSwigThis(input)) {
        object->own = 0;
        object->ptr = nullptr;
    }
}

}  // namespace ovix::py

// The family files declare the module's classes, functions and constants at
// global scope, where SWIG shows them; the code SWIG generates for them
// reaches the system's own, which live in ovix.
using namespace ovix;
%}

%init %{
  ovix::py::installInterpreterHooks();
%}

// Every call runs inside the guard of python/ErrorGuard.h.
%exception {
  try {
    $action
  } catch (...) {
    ovix::py::raiseCurrentException();
    SWIG_fail;
  }
}

// --- Numbers -----------------------------------------------------------------

%define %ovix_number(TYPE, VALUE_TYPE, CHECK, PRECEDENCE)
%typemap(in, noblock=1) TYPE (VALUE_TYPE value) {
  if (!ovix::py::CHECK($input, &value)) {
    %argument_fail(SWIG_TypeError, "$type", $symname, $argnum);
  }
  $1 = static_cast<$1_ltype>(value);
}
%typemap(typecheck, precedence=PRECEDENCE, noblock=1) TYPE {
  $1 = ovix::py::CHECK($input, nullptr);
}
%enddef

%ovix_number(int, int, asInt, SWIG_TYPECHECK_INT32)
%ovix_number(bool, bool, asBool, SWIG_TYPECHECK_BOOL)
%ovix_number(double, double, asDouble, SWIG_TYPECHECK_DOUBLE)

// The enumerations are plain ints; their values are not checked here.
%define %ovix_enum(TYPE)
%ovix_number(TYPE, int, asInt, SWIG_TYPECHECK_INT32)
%enddef

%typemap(in, noblock=1) unsigned long (unsigned long value, ovix::py::UnsignedLongRule rule) {
  rule = ovix::py::asUnsignedLong($input, &value);
  if (rule != ovix::py::UnsignedLongRule::ok) {
    %argument_fail((rule == ovix::py::UnsignedLongRule::negative ? SWIG_OverflowError : SWIG_TypeError),
                   "$type", $symname, $argnum);
  }
  $1 = value;
}
%typemap(typecheck, precedence=SWIG_TYPECHECK_UINT32, noblock=1) unsigned long {
  $1 = ovix::py::asUnsignedLong($input, nullptr) == ovix::py::UnsignedLongRule::ok;
}

// --- Texts -------------------------------------------------------------------

%fragment("SWIG_pchar_descriptor");

%{
namespace ovix::py {

// A text argument: str, bytes, a pointer object of type char *, or None.
bool convertTextArg(PyObject* input, TextArg& text, const char** out) {
    if (text.convert(input)) {
        *out = text.data();
        return true;
    }
    void* pointer = nullptr;
    if (SWIG_IsOK(SWIG_ConvertPtr(input, &pointer, SWIG_pchar_descriptor(), 0))) {
        *out = static_cast<const char*>(pointer);
        return true;
    }
    return false;
}

}  // namespace ovix::py
%}

// None is refused: a row that accepts a missing text applies OPTIONAL.
%typemap(in, noblock=1) char const * (ovix::py::TextArg text, const char* chars = nullptr),
                        char * (ovix::py::TextArg text, const char* chars = nullptr) {
  if (!ovix::py::convertTextArg($input, text, &chars) || !chars) {
    %argument_fail(SWIG_TypeError, "$type", $symname, $argnum);
  }
  $1 = const_cast<$1_ltype>(chars);
}
%typemap(in, noblock=1) char const *OPTIONAL (ovix::py::TextArg text, const char* chars = nullptr),
                        char *OPTIONAL (ovix::py::TextArg text, const char* chars = nullptr) {
  if (!ovix::py::convertTextArg($input, text, &chars)) {
    %argument_fail(SWIG_TypeError, "$type", $symname, $argnum);
  }
  $1 = const_cast<$1_ltype>(chars);
}
%typemap(freearg) char const *, char *, char const *OPTIONAL, char *OPTIONAL ""
%typemap(typecheck, precedence=SWIG_TYPECHECK_STRING, noblock=1)
    char const *, char *, char const *OPTIONAL, char *OPTIONAL {
  {
    ovix::py::TextArg text;
    const char* chars;
    $1 = ovix::py::convertTextArg($input, text, &chars);
  }
}

// Feature-id bytes: at most FID_LEN bytes in, zero-filled; out without the
// trailing zero bytes, inner ones kept.
%typemap(in, noblock=1) char [FID_LEN] (char bytes[FID_LEN]) {
  if (!ovix::py::asFidBytes($input, bytes)) {
    %argument_fail(SWIG_TypeError, "$type", $symname, $argnum);
  }
  $1 = bytes;
}
%typemap(memberin, noblock=1) char [FID_LEN] {
  std::memcpy($1, $input, FID_LEN);
}
%typemap(out, noblock=1) char [FID_LEN] {
  {
    size_t n = FID_LEN;
    while (n > 0 && $1[n - 1] == '\0')
      --n;
    $result = ovix::py::newBytes(std::string_view($1, n));
  }
}

// --- Objects -----------------------------------------------------------------

// A proxy or pointer object of the type, or of a type that converts to it.
// None and objects already deleted are refused; a row that accepts a missing
// object applies SWIGTYPE *OPTIONAL. Every object a row is given stays marked
// in use until the row returns (python/InUse.h). Deleting takes the object
// from its pointer object, which is cleared, and refuses an object that a
// running row uses or that is still lent to another (python/Loans.h).
%typemap(in, noblock=1) SWIGTYPE * (void *argp = 0, int res = 0, ovix::py::InUse inUse) {
  res = $input == Py_None ? SWIG_TypeError : SWIG_ConvertPtr($input, &argp, $descriptor, 0);
  if (SWIG_IsOK(res) && !argp)
    res = SWIG_TypeError;
  if (!SWIG_IsOK(res)) {
    %argument_fail(res, "$type", $symname, $argnum);
  }
  if ($disown) {
    if (ovix::py::InUse::isMarked(argp)) {
      PyErr_SetString(PyExc_RuntimeError, "$1_basetype is in use by another call");
      SWIG_fail;
    }
    if (ovix::py::isLent(argp)) {
      PyErr_SetString(PyExc_RuntimeError, "$1_basetype is still in use by another object");
      SWIG_fail;
    }
    ovix::py::forgetObject($input);
  } else if (!inUse.mark(argp)) {
    SWIG_fail;
  }
  $1 = %reinterpret_cast(argp, $ltype);
}
%typemap(in, noblock=1) SWIGTYPE *OPTIONAL (void *argp = 0, int res = 0, ovix::py::InUse inUse) {
  res = SWIG_ConvertPtr($input, &argp, $descriptor, 0);
  if (!SWIG_IsOK(res)) {
    %argument_fail(res, "$type", $symname, $argnum);
  }
  if (argp && !inUse.mark(argp))
    SWIG_fail;
  $1 = %reinterpret_cast(argp, $ltype);
}
// A reference: as a pointer, but None raises ValueError.
%typemap(in, noblock=1) SWIGTYPE & (void *argp = 0, int res = 0, ovix::py::InUse inUse) {
  res = SWIG_ConvertPtr($input, &argp, $descriptor, 0);
  if (!SWIG_IsOK(res)) {
    %argument_fail(res, "$type", $symname, $argnum);
  }
  if (!argp) {
    %argument_nullref("$type", $symname, $argnum);
  }
  if (!inUse.mark(argp))
    SWIG_fail;
  $1 = %reinterpret_cast(argp, $ltype);
}

// A constructor argument the new object borrows: the lender stays alive while
// the new object lives.
%typemap(in) SWIGTYPE *LENDER = SWIGTYPE *;
%typemap(argout, noblock=1) SWIGTYPE *LENDER {
  ovix::py::lend(result, $1, $input);
}

// In the choice of an overloaded row's form, None passes for every object
// argument; the chosen form then refuses it with its own message.
%typemap(typecheck, precedence=SWIG_TYPECHECK_POINTER, noblock=1) SWIGTYPE &, const SWIGTYPE & {
  {
    void *vptr = 0;
    $1 = SWIG_CheckState(SWIG_ConvertPtr($input, &vptr, $descriptor, 0));
  }
}
%typemap(typecheck, precedence=SWIG_TYPECHECK_POINTER, noblock=1) SWIGTYPE {
  {
    void *vptr = 0;
    $1 = SWIG_CheckState(SWIG_ConvertPtr($input, &vptr, $&descriptor, 0));
  }
}

// --- Destructors --------------------------------------------------------------

// Every class's destructor is known from the import of _ovix on, so that an
// object made by a new_X row is destroyed when Python frees its pointer
// object, whether or not the proxy module ovix registers its class. At import
// each X_swigregister row is given the row delete_X, wrapped in a capsule, in
// place of a Python class; ovix later registers the class itself, which names
// the same row. A class without a Python class gives bare pointer objects as
// results.
%{
#include <cstdlib>
#include <string>

namespace ovix::py {

constexpr const char* kDestructorCapsule = "ovix.destructor";

// SWIG_NewClientData: SWIG's data for a Python class, or the destructor alone
// for a capsule of registerDestructors. SWIG frees either with free().
SwigPyClientData* newClientData(PyObject* classOrCapsule) {
    if (!PyCapsule_IsValid(classOrCapsule, kDestructorCapsule))
        return SwigPyClientData_New(classOrCapsule);
    auto* data = static_cast<SwigPyClientData*>(std::calloc(1, sizeof(SwigPyClientData)));
    if (!data) {
        PyErr_NoMemory();
        return nullptr;
    }
    data->destroy = static_cast<PyObject*>(PyCapsule_GetPointer(classOrCapsule, kDestructorCapsule));
    Py_INCREF(data->destroy);
    data->delargs = !(PyCFunction_GET_FLAGS(data->destroy) & METH_O);
    return data;
}

// SWIG_NewPointerObj: as SWIG's, but never a proxy of a class that has no
// Python class.
PyObject* newPointerObject(void* pointer, swig_type_info* type, int flags) {
    const auto* data = type ? static_cast<const SwigPyClientData*>(type->clientdata) : nullptr;
    if (data && !data->klass)
        flags |= SWIG_POINTER_NOSHADOW;
    return SWIG_Python_NewPointerObj(nullptr, pointer, type, flags);
}

// Calls every X_swigregister row of the module dictionary with delete_X.
bool registerDestructors(PyObject* module) {
    static const std::string suffix = "_swigregister";
    PyObject* name;
    PyObject* row;
    Py_ssize_t position = 0;
    while (PyDict_Next(module, &position, &name, &row)) {
        const char* text = PyUnicode_AsUTF8(name);
        if (!text)
            return false;
        const std::string rowName(text);
        if (rowName.size() <= suffix.size() || !rowName.ends_with(suffix))
            continue;
        const std::string deleteRow = "delete_" + rowName.substr(0, rowName.size() - suffix.size());
        PyObject* destroy = PyDict_GetItemString(module, deleteRow.c_str());
        if (!destroy) {
            PyErr_Format(PyExc_SystemError, "no row %s for %s", deleteRow.c_str(), text);
            return false;
        }
        const PyRef capsule(PyCapsule_New(destroy, kDestructorCapsule, nullptr));
        if (!capsule || !PyRef(PyObject_CallOneArg(row, capsule.get())))
            return false;
        if (PyErr_Occurred())
            return false;
    }
    return true;
}

}  // namespace ovix::py

#undef SWIG_NewClientData
#define SWIG_NewClientData(object) ovix::py::newClientData(object)
#undef SWIG_NewPointerObj
#define SWIG_NewPointerObj(pointer, type, flags) ovix::py::newPointerObject(pointer, type, flags)
#undef SWIG_InternalNewPointerObj
#define SWIG_InternalNewPointerObj(pointer, type, flags) ovix::py::newPointerObject(pointer, type, flags)
%}

%init %{
  if (!ovix::py::registerDestructors(d))
    return nullptr;
%}

// --- Handles -----------------------------------------------------------------

// Objects that cross into Python as bare pointer objects with no Python class
// of their own (iterator handles, row tables). Python owns them:
// %ovix_owned_handle(CXX_TYPE, HANDLE_TYPE, DESTROY) hands a CXX_TYPE result
// out as an owned pointer object of HANDLE_TYPE, and registers DESTROY(void*)
// for the runtime to call when it frees one.
%{
namespace ovix::py {

template <void (*Destroy)(void*)>
PyObject* destroyHandle(PyObject*, PyObject* handle) {
    auto* object = reinterpret_cast<SwigPyObject*>(handle);
    void* native = object->ptr;
    object->ptr = nullptr;
    Destroy(native);
    Py_RETURN_NONE;
}

// The registration lives as long as the process.
bool registerHandleDestructor(swig_type_info* type, PyCFunction destroy) {
    if (!type) {
        PyErr_SetString(PyExc_SystemError, "handle type missing from the module's types");
        return false;
    }
    if (type->clientdata)
        return true;
    auto* method = new PyMethodDef{"destroyHandle", destroy, METH_O, nullptr};
    auto* data = new SwigPyClientData{};
    data->destroy = PyCFunction_New(method, nullptr);
    if (!data->destroy)
        return false;
    SWIG_TypeClientData(type, data);
    return true;
}

}  // namespace ovix::py
%}

%define %ovix_owned_handle(CXX_TYPE, HANDLE_TYPE, DESTROY)
%types(HANDLE_TYPE);
%typemap(out, noblock=1) CXX_TYPE {
  $result = SWIG_NewPointerObj($1, $descriptor(HANDLE_TYPE), SWIG_POINTER_OWN | SWIG_POINTER_NOSHADOW);
  if (!$result) {
    DESTROY($1);
    SWIG_fail;
  }
}
%init %{
  if (!ovix::py::registerHandleDestructor(SWIG_TypeQuery(#HANDLE_TYPE), &ovix::py::destroyHandle<DESTROY>))
    return nullptr;
%}
%enddef
