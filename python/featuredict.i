// Rows of the feature dictionary: FeatureDict.

%{
#include <ranges>

#include "features/FeatureDict.h"
#include "python/PyRef.h"

namespace ovix::py {

// The bytes applyTokenString reads: a bytes object as it is, a str as UTF-8.
// Code points UTF-8 cannot carry (lone surrogates) pass as bytes from 0x80
// up, which only separate tokens. nullptr for any other object.
PyRef tokenTextBytes(PyObject* text) {
    if (PyBytes_Check(text))
        return PyRef::borrowed(text);
    if (!PyUnicode_Check(text))
        return PyRef();
    PyRef bytes(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes)
        throw PythonError();
    return bytes;
}

// Frees an iterator handle.
void deleteFidMapIterator(void* iterator) {
    delete static_cast<FeatureDict::FidMap::const_iterator*>(iterator);
}

}  // namespace ovix::py
%}

// Iterator handles have no Python class; Python owns and frees them.
%ovix_owned_handle(FeatureDict::FidMap::const_iterator *, FeatureDict::FidMap::const_iterator *,
                   ovix::py::deleteFidMapIterator)

%apply SWIGTYPE *LENDER { Fids *fids };

class FeatureDict {
public:
    FeatureDict(Fids *fids, bool stem = true, bool stopWords = true, int minLen = 2, int maxLen = 20);
    %extend {
        ~FeatureDict() {
            const ovix::py::PyRef lender = ovix::py::endLoan($self);
            delete $self;
        }
        // A text that is neither str nor bytes is ignored.
        void applyTokenString(PyObject *text, int a, int b) {
            const ovix::py::PyRef bytes = ovix::py::tokenTextBytes(text);
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
