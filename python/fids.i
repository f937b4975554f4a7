// Rows of the feature-id family: Fid, FidHash, Fids and FidsDocCount.

%{
#include "features/FidsDocCount.h"
#include "python/Results.h"

namespace ovix::py {

// A list of (fid text, count) tuples from a sized range of (Fid, int) pairs.
template <class Entries>
PyObject* fidCountList(const Entries& entries) {
    auto next = std::begin(entries);
    return newList(std::size(entries), [&](size_t) {
        const auto& [fid, count] = *next++;
        return Py_BuildValue("(Ni)", fidText(fid), count);
    });
}

}  // namespace ovix::py
%}

struct DocVecI;

struct Fid {
    char m_fid[FID_LEN];
    %extend {
        Fid(DocVecI entry) {
            return new Fid(entry.fid);
        }
        Fid(PyObject *text) {
            return new Fid(ovix::py::fidFromText(text));
        }
        // Only the bytes the text has: a negative or too large length takes
        // no more than exists.
        Fid(char const *text, int length) {
            return new Fid(std::string_view(text).substr(0, length > 0 ? static_cast<size_t>(length) : 0));
        }
    }
    ~Fid();
    %extend {
        PyObject *toPyString() const {
            return ovix::py::fidText(*$self);
        }
    }
};

%rename(__call__) FidHash::operator();
struct FidHash {
    unsigned long operator()(Fid const &f) const;
    bool operator()(Fid const &a, Fid const &b) const;
};

class Fids {
public:
    Fids(bool keepTokens);
    ~Fids();
    %extend {
        PyObject *getFid(char const *token) {
            return ovix::py::fidText($self->getFidNative(token));
        }
    }
    Fid getFidNative(char const *token);
    %extend {
        // A list of (fid text, token) tuples.
        PyObject *getNewTokens() {
            const auto tokens = $self->getNewTokens();
            return ovix::py::newList(tokens.size(), [&](size_t i) {
                return Py_BuildValue("(NN)", ovix::py::fidText(tokens[i].first), ovix::py::newText(tokens[i].second));
            });
        }
    }
};

%apply SWIGTYPE *LENDER { Fids *fids };

class FidsDocCount {
public:
    FidsDocCount(Fids *fids);
    %extend {
        ~FidsDocCount() {
            const ovix::py::PyRef lender = ovix::py::endLoan($self);
            delete $self;
        }
    }
    void clearFidCounts();
    %extend {
        // The interpreter lock is released while the records load.
        void addFidCounts(PyObject *buffer, int nDocs, bool compressed) {
            ovix::py::ReadBuffer records(buffer, "need a buffer");
            ovix::py::AllowThreads unlocked;
            $self->addFidCounts(records.bytes(), nDocs, compressed);
        }
    }
    int getMaxDocCount() const;
    int getMinDocCount() const;
    int getDocCount(Fid const &fid) const;
    %extend {
        int getDocCount(PyObject *fidText) const {
            return $self->getDocCount(ovix::py::fidFromText(fidText));
        }
    }
    void incrDocCount(Fid const &fid);
    %extend {
        void incrDocCount(PyObject *fidText) {
            $self->incrDocCount(ovix::py::fidFromText(fidText));
        }
    }
    void decrDocCount(Fid const &fid);
    %extend {
        void decrDocCount(PyObject *fidText) {
            $self->decrDocCount(ovix::py::fidFromText(fidText));
        }
        PyObject *getFirst(int n = 1000) {
            return ovix::py::fidCountList($self->getFirst(n));
        }
        PyObject *getNext(int n = 1000) {
            return ovix::py::fidCountList($self->getNext(n));
        }
    }
    void getNextFinish();
    std::string repr() const;
};

%clear Fids *fids;
