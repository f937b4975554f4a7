// Rows of the feature dictionary: FeatureDict.

%{
#include <memory>
#include <ranges>

#include "features/FeatureDict.h"

namespace ovix::py {

// The bytes applyTokenString reads: a bytes object as it is, a str as UTF-8.
// Code points UTF-8 cannot carry (lone surrogates) pass as bytes from 0x80
// up, which only separate tokens. nullptr for any other object.
PyObject* tokenTextBytes(PyObject* text) {
    if (PyBytes_Check(text)) {
        Py_INCREF(text);
        return text;
    }
    if (!PyUnicode_Check(text))
        return nullptr;
    PyObject* bytes = PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass");
    if (!bytes)
        throw PythonError();
    return bytes;
}

// Iterator handles have no Python class; this destructor, which the runtime
// calls when Python frees a handle it owns, is registered for their type.
PyObject* deleteFidMapIterator(PyObject*, PyObject* handle) {
    auto* object = reinterpret_cast<SwigPyObject*>(handle);
    delete static_cast<FeatureDict::FidMap::const_iterator*>(object->ptr);
    object->ptr = nullptr;
    Py_RETURN_NONE;
}

bool registerFidMapIteratorDestructor(swig_type_info* type) {
    static PyMethodDef method = {"deleteFidMapIterator", deleteFidMapIterator, METH_O, nullptr};
    static SwigPyClientData data = {};
    if (type->clientdata)
        return true;
    data.destroy = PyCFunction_New(&method, nullptr);
    if (!data.destroy)
        return false;
    SWIG_TypeClientData(type, &data);
    return true;
}

}  // namespace ovix::py
%}

%init %{
  if (!ovix::py::registerFidMapIteratorDestructor(SWIGTYPE_p_FeatureDict__FidMap__const_iterator))
    return nullptr;
%}

// A new handle that Python owns.
%typemap(out, noblock=1) FeatureDict::FidMap::const_iterator * {
  $result = SWIG_NewPointerObj($1, $descriptor, SWIG_POINTER_OWN | SWIG_POINTER_NOSHADOW);
  if (!$result) {
    delete $1;
    SWIG_fail;
  }
}

%apply SWIGTYPE *LENDER { Fids *fids };

class FeatureDict {
public:
    FeatureDict(Fids *fids, bool stem = true, bool stopWords = true, int minLen = 2, int maxLen = 20);
    %extend {
        ~FeatureDict() {
            const ovix::py::EndedLoan loan = ovix::py::endLoan($self);
            delete $self;
        }
        // A text that is neither str nor bytes is ignored.
        void applyTokenString(PyObject *text, int a, int b) {
            const std::unique_ptr<PyObject, void (*)(PyObject*)> bytes(ovix::py::tokenTextBytes(text), Py_DecRef);
            if (bytes)
                $self->applyTokenString(
                    std::string_view(PyBytes_AS_STRING(bytes.get()), static_cast<size_t>(PyBytes_GET_SIZE(bytes.get()))),
                    a, b);
        }
        void mergeFeatureDict(FeatureDict const *other) {
            $self->mergeFeatureDict(*other);
        }
        void mergeDvir(PyObject *buffer) {
            ovix::py::ReadBuffer dvir(buffer, "Need a buffer");
            $self->mergeDvir(dvir.bytes());
        }
        // A list of (fid text, count) tuples in map order.
        PyObject *getList() const {
            return ovix::py::fidCountList(
                std::ranges::subrange($self->begin(), $self->end(), $self->getUniqueFeatureCount()));
        }
    }
    int getFeatureCount() const;
    int getUniqueFeatureCount() const;
    %extend {
        double getInLanguageRatio(FidsDocCount const *dc) const {
            return $self->getInLanguageRatio(*dc);
        }
        int getDocCountHits(FidsDocCount const *dc) const {
            return $self->getDocCountHits(*dc);
        }
    }
    void scale(double x);
    %extend {
        FeatureDict::FidMap::const_iterator *begin() const {
            return new FeatureDict::FidMap::const_iterator($self->begin());
        }
        FeatureDict::FidMap::const_iterator *end() const {
            return new FeatureDict::FidMap::const_iterator($self->end());
        }
    }
};

%clear Fids *fids;
