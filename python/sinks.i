// Rows of the document-vector sinks: FeatureDvecs, FeatureDvecsFile and
// FeatureDvecsMem. The rows of each family call the sink's virtual
// operations, so a FeatureDvecs row reaches the derived sink's behaviour.

%{
#include "features/FeatureDvecsFile.h"
#include "features/FeatureDvecsMem.h"
#include "python/HeldBuffer.h"

namespace ovix::py {

// The `_dVec *` pointer objects that getDvecs hands out carry a
// DvecTableRef, which a row that takes a table asks for its rows. The
// runtime calls this when Python frees one it owns: the reference goes, and
// with it the loan that keeps its sink alive.
void deleteDvecTableRef(void* handle) {
    auto* table = static_cast<DvecTableRef*>(handle);
    const PyRef lender = endLoan(table);
    delete table;
}

}  // namespace ovix::py
%}

%ovix_enum(FeatureDvecsFileFormat)

// The addFeatures row of a sink: the vector is any object that offers a read
// buffer, held as long as the sink wants it.
%define %ovix_add_features
    %extend {
        void addFeatures(int id, int label, PyObject *dvir) {
            $self->addFeatures(id, label, ovix::py::holdBuffer(dvir));
        }
    }
%enddef

class FeatureDvecs {
public:
    virtual ~FeatureDvecs();
    virtual void reset() = 0;
    %ovix_add_features
    virtual void close() = 0;
};

class FeatureDvecsFile : public FeatureDvecs {
public:
    FeatureDvecsFile(char const *path, FeatureDvecsFileFormat format = FEATURE_DVECS_FILE_FORMAT_BINARY);
    virtual ~FeatureDvecsFile();
    virtual void reset();
    %ovix_add_features
    virtual void close();
    std::string const &getFilename() const;
};

// The row table: a new pointer object of type `_dVec *` that Python owns. The
// sink lends itself to it (LENDER on self), so it lives as long as its table.
%ovix_owned_handle(ovix::DvecTableRef *, _dVec *, ovix::py::deleteDvecTableRef)

class FeatureDvecsMem : public FeatureDvecs {
public:
    FeatureDvecsMem(int n, int m = 0);
    virtual ~FeatureDvecsMem();
    virtual void reset();
    %ovix_add_features
    virtual void close();
    %apply SWIGTYPE *LENDER { FeatureDvecsMem *self };
    %extend {
        ovix::DvecTableRef *getDvecs() {
            return new ovix::DvecTableRef($self->getDvecs());
        }
    }
    %clear FeatureDvecsMem *self;
};
