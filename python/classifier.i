// Rows of the classifier driver: ClassifierWrapper. Python lists are
// converted before a long call and its results after, with the interpreter
// lock held; the engine runs with the lock released. Every row that takes a
// wrapper runs under its Call guard: a wrapper serves one call at a time, from
// whichever thread, and refuses a second call while one runs; deleting it
// meanwhile is refused as for every object (conventions.i).

%{
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include "classifier/ClassifierWrapper.h"
#include "python/Results.h"

namespace ovix::py {

// predict's `learned`: a list of ints (bools count), one label per document.
std::vector<float> learnedLabels(PyObject* learned) {
    if (!PyList_Check(learned))
        throw std::runtime_error("Learned must be a list");
    std::vector<float> labels(static_cast<size_t>(PyList_GET_SIZE(learned)));
    for (size_t i = 0; i < labels.size(); ++i) {
        PyObject* item = PyList_GET_ITEM(learned, static_cast<Py_ssize_t>(i));
        if (!PyLong_Check(item))
            throw std::runtime_error("learned array must be array of ints");
        const double label = PyLong_AsDouble(item);
        if (label == -1.0 && PyErr_Occurred())
            throw PythonError();
        labels[i] = static_cast<float>(label);
    }
    return labels;
}

// Puts into `learned` every label that differs from what it was, as an int
// truncated toward zero. The list may have shrunk meanwhile: Python threads
// ran while the labels were worked on, and so may the old items' finalizers.
void writeBackLabels(PyObject* learned, std::span<const float> before, std::span<const float> after) {
    for (size_t i = 0; i < after.size() && static_cast<Py_ssize_t>(i) < PyList_GET_SIZE(learned); ++i) {
        if (after[i] == before[i])
            continue;
        PyObject* label = PyLong_FromDouble(std::trunc(after[i]));
        if (!label || PyList_SetItem(learned, static_cast<Py_ssize_t>(i), label) < 0)
            throw PythonError();
    }
}

// computeClusters' `ranks`: a list of floats, one rank per document.
std::vector<float> rankList(PyObject* ranks) {
    if (!PyList_Check(ranks))
        throw std::runtime_error("ranks must be a list");
    std::vector<float> values(static_cast<size_t>(PyList_GET_SIZE(ranks)));
    for (size_t i = 0; i < values.size(); ++i) {
        PyObject* item = PyList_GET_ITEM(ranks, static_cast<Py_ssize_t>(i));
        if (!PyFloat_Check(item))
            throw std::runtime_error("ranks must be a list of floats");
        values[i] = static_cast<float>(PyFloat_AS_DOUBLE(item));
    }
    return values;
}

}  // namespace ovix::py
%}

// The document table of buildKnnGraph: the `_dVec *` handle that
// FeatureDvecsMem_getDvecs hands out, or None for a null table.
%typemap(in, noblock=1) ovix::DvecTableRef *docs (void *argp = 0, int res = 0) {
  res = SWIG_ConvertPtr($input, &argp, $descriptor(_dVec *), 0);
  if (!SWIG_IsOK(res)) {
    %argument_fail(res, "_dVec *", $symname, $argnum);
  }
  $1 = static_cast<ovix::DvecTableRef *>(argp);
}
%typemap(typecheck, precedence=SWIG_TYPECHECK_POINTER, noblock=1) ovix::DvecTableRef *docs {
  {
    void *vptr = 0;
    $1 = SWIG_CheckState(SWIG_ConvertPtr($input, &vptr, $descriptor(_dVec *), 0));
  }
}

%apply char const *OPTIONAL { char const *logPath };

class ClassifierWrapper {
public:
    ClassifierWrapper(int verbosity, char const *logPath = nullptr);
    virtual ~ClassifierWrapper();
    %extend {
        // The table's rows are taken with the lock held and kept until it is
        // held again: they may be the last owner of Python buffers.
        void buildKnnGraph(ovix::DvecTableRef *docs, int n, int k, double dupThreshold, bool normalize = true,
                           bool symmetric = false) {
            const ClassifierWrapper::Call call(*$self);
            ClassifierWrapper::checkNeighbourCount(k);
            if (!docs)
                return;
            const std::shared_ptr<const _dVec> rows = docs->rows(n);
            ovix::py::AllowThreads unlocked;
            $self->buildKnnGraph(rows.get(), n, k, dupThreshold, normalize, symmetric);
        }
        void setGraphFile(char *path, int format, int normalize, int symmetric) {
            const ClassifierWrapper::Call call(*$self);
            $self->setGraphFile(path, format, normalize, symmetric);
        }
        void writeGraphFile() {
            const ClassifierWrapper::Call call(*$self);
            $self->writeGraphFile();
        }
        void readGraphFile() {
            const ClassifierWrapper::Call call(*$self);
            $self->readGraphFile();
        }
        void decomposeLaplacian(int nEigen) {
            const ClassifierWrapper::Call call(*$self);
            ovix::py::AllowThreads unlocked;
            $self->decomposeLaplacian(nEigen);
        }
        void setDecompositionFile(char *path, int format) {
            const ClassifierWrapper::Call call(*$self);
            $self->setDecompositionFile(path, format);
        }
        void writeDecompositionFile() {
            const ClassifierWrapper::Call call(*$self);
            $self->writeDecompositionFile();
        }
        int readDecompositionFile() {
            const ClassifierWrapper::Call call(*$self);
            return $self->readDecompositionFile();
        }
        // A list of floats, one rank per item of learned. The labels that the
        // elimination changed go into learned before the prediction runs, and
        // stay there when it fails.
        PyObject *predict(double c, double p, PyObject *learned, bool minErrThreshold, bool eliminate, int elimMin,
                          int elimSkip, int elimMaxLabelled, bool elimByEigenvectors) {
            const ClassifierWrapper::Call call(*$self);
            std::vector<float> labels = ovix::py::learnedLabels(learned);
            std::string eliminationFailure;
            if (eliminate) {
                const std::vector<float> before = labels;
                {
                    ovix::py::AllowThreads unlocked;
                    eliminationFailure = $self->eliminateNegatives(
                        labels, {elimMin, elimSkip, elimMaxLabelled, elimByEigenvectors});
                }
                ovix::py::writeBackLabels(learned, before, labels);
            }
            {
                ovix::py::AllowThreads unlocked;
                $self->predict(labels, c, p, minErrThreshold, eliminationFailure);
            }
            return ovix::py::newList(labels.size(), [&](size_t i) { return PyFloat_FromDouble(labels[i]); });
        }
        // A list of ints, one per rank: -2 duplicate, -1 below the
        // threshold, else the document's cluster.
        PyObject *computeClusters(int clusters, int minSize, double threshold, PyObject *ranks) {
            const ClassifierWrapper::Call call(*$self);
            ClassifierWrapper::checkClusterCount(clusters);
            const std::vector<float> values = ovix::py::rankList(ranks);
            std::vector<int> ids;
            {
                ovix::py::AllowThreads unlocked;
                ids = $self->computeClusters(clusters, minSize, threshold, values);
            }
            return ovix::py::newList(ids.size(), [&](size_t i) { return PyLong_FromLong(ids[i]); });
        }
    }
};

%clear char const *logPath;
