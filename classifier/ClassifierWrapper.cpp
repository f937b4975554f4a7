#include "classifier/ClassifierWrapper.h"

#include <climits>
#include <stdexcept>

#include "base/RegularFile.h"

namespace ovix {

namespace {

std::string prefixed(const char* prefix, const std::exception& failure) {
    return prefix + std::string(failure.what());
}

}  // namespace

ClassifierWrapper::ClassifierWrapper(int verbosity, const char* logPath) {
    std::optional<ClassifierLog::Clock::time_point> start;
    if (verbosity < 0)
        verbosity = verbosity == INT_MIN ? INT_MAX : -verbosity;
    else
        start = ClassifierLog::Clock::now();
    if (logPath) {
        RegularFile file = openRegularFile(logPath, O_WRONLY | O_APPEND | O_CREAT);
        if (file.notRegular)
            throw std::runtime_error(std::string("log file ") + logPath + " is not a regular file");
        m_logFile = file.fd ? fdopen(file.fd.get(), "a") : nullptr;
        if (m_logFile) {
            file.fd.release();
            std::setvbuf(m_logFile, nullptr, _IONBF, 0);
        }
    }
    m_engine = std::make_unique<Classifier>(ClassifierLog(verbosity, m_logFile, start));
}

ClassifierWrapper::~ClassifierWrapper() {
    m_engine.reset();
    if (m_logFile)
        std::fclose(m_logFile);
}

ClassifierWrapper::Call::Call(ClassifierWrapper& wrapper) : m_wrapper(wrapper) {
    if (m_wrapper.m_busy.exchange(true))
        throw std::runtime_error("ClassifierWrapper is busy with another call");
}

ClassifierWrapper::Call::~Call() {
    m_wrapper.m_busy.store(false);
}

void ClassifierWrapper::checkNeighbourCount(int k) {
    if (k < 1)
        throw std::runtime_error("KNN value cannot be -ve");
}

void ClassifierWrapper::checkClusterCount(int clusters) {
    if (clusters < 1)
        throw std::runtime_error("# clusters <= 0");
}

void ClassifierWrapper::buildKnnGraph(const _dVec* docs, int n, int k, double dupThreshold, bool normalize,
                                      bool symmetric) {
    checkNeighbourCount(k);
    if (!docs)
        return;
    m_engine->buildKnnGraph(k, n, normalize, symmetric, dupThreshold, docs);
}

void ClassifierWrapper::setGraphFile(const char* path, int format, int normalize, int symmetric) {
    m_engine->setGraphFile(path, format, normalize, symmetric);
}

void ClassifierWrapper::writeGraphFile() {
    m_engine->writeGraphFile();
}

int ClassifierWrapper::readGraphFile() {
    return m_engine->readGraphFile();
}

void ClassifierWrapper::decomposeLaplacian(int nEigen) {
    try {
        m_engine->decomposeLaplacian(nEigen);
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(prefixed("decomposition failed: ", failure));
    }
}

void ClassifierWrapper::setDecompositionFile(const char* path, int format) {
    m_engine->setDecompositionFile(path, format);
}

void ClassifierWrapper::writeDecompositionFile() {
    m_engine->writeDecompositionFile();
}

int ClassifierWrapper::readDecompositionFile() {
    return m_engine->readDecompositionFile();
}

std::string ClassifierWrapper::eliminateNegatives(std::span<float> labels, const Elimination& elimination) {
    try {
        m_engine->eliminateNegatives(elimination.min, elimination.skip, elimination.maxLabelled, labels,
                                     elimination.byEigenvectors);
    } catch (const std::runtime_error& failure) {
        return prefixed("eliminate negatives failed: ", failure);
    }
    return {};
}

void ClassifierWrapper::predict(std::span<float> labels, double c, double p, bool minErrThreshold,
                                const std::string& pendingFailure) {
    try {
        m_engine->predict(labels, static_cast<float>(c), static_cast<float>(p), minErrThreshold);
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(prefixed("predict failed: ", failure));
    }
    if (!pendingFailure.empty())
        throw std::runtime_error(pendingFailure);
}

std::vector<int> ClassifierWrapper::computeClusters(int clusters, int minSize, double threshold,
                                                   std::span<const float> ranks) {
    checkClusterCount(clusters);
    std::vector<int> ids(ranks.size());
    try {
        m_engine->diversify(clusters, minSize, static_cast<float>(threshold), ranks, ids);
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(prefixed("clustering failed: ", failure));
    }
    return ids;
}

}  // namespace ovix
