#pragma once
// The object through which the main application classifies and groups one
// batch of documents: it owns the engine (Classifier) and its log file, and
// hands the engine's failures on behind a text that names the step
// ("decomposition failed: ", "predict failed: ", ...).
//
// The binding lets the host's lock go around the long calls (buildKnnGraph,
// decomposeLaplacian, the two phases of predict, computeClusters) and makes
// every call on a wrapper under a Call guard: a wrapper serves one call at a
// time, and a call made while another runs is refused.

#include <atomic>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classifier/Classifier.h"

namespace ovix {

struct _dVec;

class ClassifierWrapper {
public:
    // The engine logs at |verbosity|; a negative verbosity leaves every
    // prefix at 0.00 seconds. With logPath the log goes to that file, opened
    // for appending and unbuffered; without it, or when the file cannot be
    // opened, to the standard error stream. The open never waits: a logPath
    // that names a FIFO, a device or a folder throws "log file PATH is not a
    // regular file".
    explicit ClassifierWrapper(int verbosity, const char* logPath = nullptr);
    // Destroys the engine, then closes the log file.
    virtual ~ClassifierWrapper();
    ClassifierWrapper(const ClassifierWrapper&) = delete;
    ClassifierWrapper& operator=(const ClassifierWrapper&) = delete;

    // Held for the length of one call on the wrapper. Throws "ClassifierWrapper
    // is busy with another call" while another Call lives.
    class Call {
    public:
        explicit Call(ClassifierWrapper& wrapper);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        ClassifierWrapper& m_wrapper;
    };

    // Throws "KNN value cannot be -ve" for k below 1.
    static void checkNeighbourCount(int k);
    // Throws "# clusters <= 0" for clusters below 1.
    static void checkClusterCount(int clusters);

    // The graph of docs[0] to docs[n - 1] (Classifier::buildKnnGraph). k is
    // checked first; null docs then build nothing.
    void buildKnnGraph(const _dVec* docs, int n, int k, double dupThreshold, bool normalize = true,
                       bool symmetric = false);
    void setGraphFile(const char* path, int format, int normalize, int symmetric);
    void writeGraphFile();
    int readGraphFile();
    // Throws "decomposition failed: " and the engine's text.
    void decomposeLaplacian(int nEigen);
    void setDecompositionFile(const char* path, int format);
    void writeDecompositionFile();
    int readDecompositionFile();

    // The two phases of predict, with the labels in between handed back to
    // the caller. labels: one per document, above 0 positive, below 0
    // negative, 0 unlabelled.
    struct Elimination {
        int min = 0;
        int skip = 0;
        int maxLabelled = 0;
        bool byEigenvectors = false;
    };
    // Phase 1: the negative elimination (Classifier::eliminateNegatives),
    // which may turn negative labels into 0. Returns the failure to raise
    // once the prediction has run, "eliminate negatives failed: " and the
    // engine's text; empty when it succeeded.
    std::string eliminateNegatives(std::span<float> labels, const Elimination& elimination);
    // Phase 2: the prediction; labels get the ranks (or stay as they are when
    // every document is labelled). Throws "predict failed: " and the engine's
    // text, else pendingFailure when it is not empty.
    void predict(std::span<float> labels, double c, double p, bool minErrThreshold, const std::string& pendingFailure);

    // Groups the documents whose rank reaches threshold into at most clusters
    // clusters (Classifier::diversify): per document -2 duplicate, -1 below
    // the threshold, else its cluster number. Throws "# clusters <= 0" for
    // clusters below 1, else "clustering failed: " and the engine's text.
    std::vector<int> computeClusters(int clusters, int minSize, double threshold, std::span<const float> ranks);

    Classifier& engine() { return *m_engine; }

private:
    std::unique_ptr<Classifier> m_engine;
    std::FILE* m_logFile = nullptr;  // owned; null when none was opened
    std::atomic<bool> m_busy = false;
};

}  // namespace ovix
