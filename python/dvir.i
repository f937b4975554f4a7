// Rows of the packed-vector functions. A packed vector comes in as any object
// that offers a read buffer and goes out as bytes; a function that leaves its
// vector as it is returns the object it was given.

%{
#include <stdexcept>

#include "features/DvirArithmetic.h"
#include "features/DvirCentroid.h"
#include "features/DvirDocCounts.h"
#include "features/DvirFromFeatureDict.h"
#include "features/DvirVerify.h"
#include "features/DvirWeights.h"
#include "python/PyRef.h"
#include "python/ReadBufferList.h"
#include "python/Results.h"

namespace ovix::py {

constexpr const char* kNeedABuffer = "Need a buffer";

PyObject* newBytes(std::span<const unsigned char> bytes) {
    return newBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

PyObject* newDvir(std::span<const DocVecI> entries) {
    return newBytes(std::string_view(reinterpret_cast<const char*>(entries.data()), entries.size() * kDvirEntrySize));
}

// The packed vectors of a list, held while they are read.
class DvirList {
public:
    explicit DvirList(PyObject* list) : m_buffers(list, "Need a list of buffers", kNeedABuffer) {
        m_views.reserve(m_buffers.size());
        for (size_t i = 0; i < m_buffers.size(); ++i)
            m_views.emplace_back(m_buffers.bytes(i));
    }
    std::span<const DvirView> views() const { return m_views; }

private:
    ReadBufferList m_buffers;
    std::vector<DvirView> m_views;
};

// A weight: any number, rounded to single precision.
float weightOf(PyObject* object) {
    // Held through the conversion, which may run code that drops it from its list.
    const double weight = PyFloat_AsDouble(PyRef::borrowed(object).get());
    if (weight == -1.0 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError))
            throw PythonError();  // a number out of range says so itself
        PyErr_Clear();
        throw std::runtime_error("Weight must be a number");
    }
    return static_cast<float>(weight);
}

}  // namespace ovix::py
%}

%ovix_enum(DvirEndian)
%ovix_enum(FixedIdfAlg)

%inline %{

PyObject *dvirFromFidsAndWeights(PyObject *fids, PyObject *weights) {
    if (!PyList_Check(fids) || !PyList_Check(weights))
        throw std::runtime_error("Need a list of fids and a list of weights");
    const Py_ssize_t n = PyList_GET_SIZE(fids);
    // Checked again before every entry: a weight's conversion may run code
    // that changes the lists.
    const auto checkLengths = [&] {
        if (PyList_GET_SIZE(fids) != n || PyList_GET_SIZE(weights) != n)
            throw std::runtime_error("Fids list and weight list are not the same length");
    };
    checkLengths();
    std::vector<DocVecI> entries;
    entries.reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        checkLengths();
        const ovix::py::PyRef text = ovix::py::textBytes(PyList_GET_ITEM(fids, i));
        if (!text)
            throw std::runtime_error("Fid must be a string");
        const Fid fid(std::string_view(PyBytes_AS_STRING(text.get()), PyBytes_GET_SIZE(text.get())));
        entries.push_back({fid, ovix::py::weightOf(PyList_GET_ITEM(weights, i))});
    }
    dvirSortById(entries);
    return ovix::py::newDvir(entries);
}

PyObject *dvirFromFeatureDict(FeatureDict const *dict) {
    std::vector<DocVecI> entries;
    {
        ovix::py::AllowThreads unlocked;
        entries = dvirFromFeatureDict(*dict);
    }
    return ovix::py::newDvir(entries);
}

PyObject *dvir2FidsAndWeights(PyObject *buffer) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    const DvirView v(bytes.bytes());
    ovix::py::PyRef fids(ovix::py::newList(v.size(), [&](size_t i) { return ovix::py::fidText(v.fid(i)); }));
    ovix::py::PyRef weights(ovix::py::newList(v.size(), [&](size_t i) { return PyFloat_FromDouble(v.weight(i)); }));
    PyObject* pair = Py_BuildValue("(NN)", fids.release(), weights.release());
    if (!pair)
        throw ovix::py::PythonError();
    return pair;
}

std::string dvir2String(PyObject *buffer) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    return dvir2String(DvirView(bytes.bytes()));
}

// The whole entries in the buffer's bytes, whatever its items are.
size_t dvirSize(PyObject *buffer) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    return DvirView(bytes.bytes()).size();
}

long long dvirSize2BufLen(int n) {
    return static_cast<long long>(n) * static_cast<long long>(kDvirEntrySize);
}

PyObject *dvirFixTrailingWhitespace(PyObject *buffer, int n) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    const auto padded = dvirFixTrailingWhitespace(bytes.bytes(), n);
    return padded ? ovix::py::newBytes(*padded) : ovix::py::sameObject(buffer);
}

PyObject *dvirChangeEndian(PyObject *buffer, DvirEndian from, DvirEndian to) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    const auto changed = dvirChangeEndian(DvirView(bytes.bytes()), from, to);
    return changed ? ovix::py::newDvir(*changed) : ovix::py::sameObject(buffer);
}

// None stands for the missing vector.
void dvirVerify(PyObject *buffer) {
    if (buffer == Py_None)
        throw std::runtime_error("dvir is null");
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    dvirVerify(DvirView(bytes.bytes()));
}

double dvirDocCountHits(PyObject *buffer, FidsDocCount const *dc) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    ovix::py::AllowThreads unlocked;
    return dvirDocCountHits(DvirView(bytes.bytes()), *dc);
}

double dvirInLanguageRatio(PyObject *buffer, FidsDocCount const *dc) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    ovix::py::AllowThreads unlocked;
    return dvirInLanguageRatio(DvirView(bytes.bytes()), *dc);
}

void dvirIncrDocCounts(PyObject *buffer, FidsDocCount *dc) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    ovix::py::AllowThreads unlocked;
    dvirIncrDocCounts(DvirView(bytes.bytes()), *dc);
}

void dvirDecrDocCounts(PyObject *buffer, FidsDocCount *dc) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    ovix::py::AllowThreads unlocked;
    dvirDecrDocCounts(DvirView(bytes.bytes()), *dc);
}

PyObject *dvirListCentroid(PyObject *list) {
    const ovix::py::DvirList vectors(list);
    std::vector<DocVecI> centroid;
    {
        ovix::py::AllowThreads unlocked;
        centroid = dvirListCentroid(vectors.views());
    }
    return ovix::py::newDvir(centroid);
}

PyObject *dvirListDotProduct(PyObject *buffer, PyObject *list) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    const ovix::py::DvirList vectors(list);
    std::vector<double> products;
    {
        ovix::py::AllowThreads unlocked;
        products = dvirListDotProduct(DvirView(bytes.bytes()), vectors.views());
    }
    return ovix::py::newList(products.size(), [&](size_t i) { return PyFloat_FromDouble(products[i]); });
}

PyObject *dvirListDispersionAndStddev(PyObject *centroid, PyObject *list) {
    const ovix::py::ReadBuffer bytes(centroid, ovix::py::kNeedABuffer);
    const ovix::py::DvirList vectors(list);
    std::pair<double, double> dispersion;
    {
        ovix::py::AllowThreads unlocked;
        dispersion = dvirListDispersionAndStddev(DvirView(bytes.bytes()), vectors.views());
    }
    PyObject* pair = Py_BuildValue("(dd)", dispersion.first, dispersion.second);
    if (!pair)
        throw ovix::py::PythonError();
    return pair;
}

PyObject *dvirDotProductAsDvir(PyObject *a, PyObject *b) {
    const ovix::py::ReadBuffer first(a, ovix::py::kNeedABuffer);
    const ovix::py::ReadBuffer second(b, ovix::py::kNeedABuffer);
    return ovix::py::newDvir(dvirDotProductAsDvir(DvirView(first.bytes()), DvirView(second.bytes())));
}

PyObject *dvir2Weights(PyObject *buffer, bool keepWeights, bool logTf, bool idf, int topN, FixedIdfAlg alg,
                       int minDf, FidsDocCount const *dc) {
    const ovix::py::ReadBuffer bytes(buffer, ovix::py::kNeedABuffer);
    std::optional<std::vector<DocVecI>> weighted;
    {
        ovix::py::AllowThreads unlocked;
        weighted = dvir2Weights(DvirView(bytes.bytes()), keepWeights, logTf, idf, topN, alg, minDf, *dc);
    }
    return weighted ? ovix::py::newDvir(*weighted) : ovix::py::sameObject(buffer);
}

%}
