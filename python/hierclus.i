// Rows of the clustering front: HierClus. The clustering runs inside
// new_HierClus with the interpreter lock held.

%{
#include "cluster/HierClus.h"
#include "python/PyRef.h"
#include "python/Results.h"

namespace ovix::py {

// A new bytearray holding the entries as a packed vector.
PyObject* newDvirBytearray(const std::vector<DocVecI>& entries) {
    PyObject* bytes = PyByteArray_FromStringAndSize(reinterpret_cast<const char*>(entries.data()),
                                                    static_cast<Py_ssize_t>(entries.size() * sizeof(DocVecI)));
    if (!bytes)
        throw PythonError();
    return bytes;
}

// {doc: (duplicateOf, similarity)}.
PyObject* newDuplicateDict(const std::vector<HierClus::Duplicate>& duplicates) {
    PyRef dict(PyDict_New());
    if (!dict)
        throw PythonError();
    for (const HierClus::Duplicate& d : duplicates) {
        const PyRef key(PyLong_FromLong(d.doc));
        const PyRef value(key ? Py_BuildValue("(id)", d.duplicateOf, d.similarity) : nullptr);
        if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) != 0)
            throw PythonError();
    }
    return dict.release();
}

}  // namespace ovix::py
%}

%ovix_enum(ClassifierClusteringAlg)

class HierClus {
public:
    HierClus(char const *name, int nClusters, bool writeMembers = false, int minClusterSize = 0,
             bool seedFromLabels = false, int maxCentroidFeatures = 0,
             ClassifierClusteringAlg alg = CLASSIFIER_CLUSTERING_ALG_KMEANS, int k = 100, double dupThreshold = 0.0);
    ~HierClus();
    %extend {
        // [(document id, cluster id)] in file order.
        PyObject *getDocs() {
            const std::vector<HierClus::Document> docs = $self->getDocs();
            return ovix::py::newList(docs.size(), [&](size_t i) {
                return Py_BuildValue("(ii)", docs[i].id, docs[i].cluster);
            });
        }
        // [(cluster id, size, centroid as a bytearray dvir, member file name
        // or None)] for the leaves in id order.
        PyObject *getClusters(int topN = 0) {
            const std::vector<HierClus::Leaf> leaves = $self->getClusters(topN);
            return ovix::py::newList(leaves.size(), [&](size_t i) {
                const HierClus::Leaf& leaf = leaves[i];
                ovix::py::PyRef centroid(ovix::py::newDvirBytearray(leaf.centroid));
                ovix::py::PyRef memberFile(leaf.memberFile ? ovix::py::newText(*leaf.memberFile)
                                                           : ovix::py::sameObject(Py_None));
                return Py_BuildValue("(iiNN)", leaf.id, leaf.size, centroid.release(), memberFile.release());
            });
        }
        // {document position: (position of its representative, similarity)}.
        PyObject *getWithinSimilarityMap() {
            return ovix::py::newDuplicateDict($self->getWithinSimilarityMap());
        }
    }
};
