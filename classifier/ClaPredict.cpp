// The classifier's prediction: the spectral graph transducer in the basis of
// the Laplacian's eigenvectors, with the estimation of the fraction of
// positives and the search for the cost.
//
// One solve, for n documents and m eigenvectors V (n x m):
//   gamma   target values: gamma+ = sqrt((1 - p) / p) for positives,
//           gamma- = -1 / gamma+ for negatives, 0 for unlabelled documents
//   K       costs: positives and negatives each carry half of c times the
//           number of labels
//   G       V^T K V + D, D(j, j) = (j + 1)^2 standing for the spectrum
//   b       V^T K gamma
//   lambda* the eigenvalue of least real part of [[G, -I], [-(1/n) b b^T, G]]
//   ranks   V (G - lambda* I)^-1 b, lowered by the midpoint of gamma+ and
//           gamma-, so that 0 lies halfway between the targets.
// lambda* is the root of |(G - lambda I)^-1 b|^2 = n below the lowest
// eigenvalue of G. When b has no part along that eigenvalue's eigenvector
// (identical documents, labelled both ways, are one such case), lambda* meets
// the eigenvalue, G - lambda* I is singular and the labels do not determine
// the ranks: the solve refuses, as it does for ranks that are not finite
// numbers.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "classifier/Classifier.h"
#include "classifier/LaPredictMatrix.h"
#include "sgt/LaDiagonalMatrix.h"
#include "sgt/LaOperations.h"
#include "sgt/SolverFailure.h"

namespace ovix {

namespace {

enum class ClaPredictCheck {
    lambdaZero = 182,  // lambda* is 0
};

// Failure texts name this source as part of the engine, "sgt/": callers see
// them.
constexpr const char* checkSource(ClaPredictCheck) {
    return "sgt/ClaPredict.cpp";
}

// How far |x|^2 may exceed n before G - lambda* I counts as singular: a
// lambda* in single precision at a relative distance of 1e-5 from the lowest
// eigenvalue of G still gives x to a fraction of a percent.
constexpr double kNormTolerance = 0.01;

// The eigenvalue of least real part of A (its real part), by the iterative
// solver asking for one eigenvalue and no eigenvectors.
float lowestEigenvalue(LaEigen<float>& A) {
    if (A.decomposeArpack(1, A, 0, 0) <= 0)
        throw std::runtime_error("ARPACK did not converge");
    return A.eigenvalue(0);
}

std::runtime_error prefixed(const char* prefix, const std::exception& failure) {
    return std::runtime_error(prefix + std::string(failure.what()));
}

}  // namespace

void Classifier::predictCore(LaVector<float>& ranks, const LaDenseMatrix<float>& V, float p, float c, int n, int m,
                             std::span<const float> labels, int npos, int nneg, bool minErrThreshold) const {
    // Outside (0, 1) one of the targets is infinite or both are 0.
    if (!(p > 0 && p < 1))
        throw std::runtime_error(formatText("estimated p = %f lies outside (0, 1)", p));

    LaVector<float> gamma(n);
    const float gammaPos = std::sqrt((1 - p) / p);
    const float gammaNeg = -1 / gammaPos;
    for (int i = 0; i < n; ++i)
        gamma.setAt(i, labels[i] > 0 ? gammaPos : labels[i] < 0 ? gammaNeg : 0.0f);
    m_log.dump(3, "input vector gamma\n", gamma);

    auto K = std::make_unique<LaDiagonalMatrix<float>>(n);
    const float base = c * 0.5f * static_cast<float>(npos + nneg);
    const float cPos = npos != 0 ? base / static_cast<float>(npos) : 0;
    const float cNeg = nneg != 0 ? base / static_cast<float>(nneg) : 0;
    for (int i = 0; i < n; ++i)
        K->setAt(i, gamma.getAt(i) > 0 ? cPos : gamma.getAt(i) < 0 ? cNeg : 0.0f);
    m_log.dump(4, formatText("cost matrix C (cc=%f)\n", c), *K);

    auto G = laTransposeDiagProduct(V, *K);
    {
        LaDiagonalMatrix<float> D(m);
        for (int j = 0; j < m; ++j)
            D.setAt(j, static_cast<float>(j + 1) * static_cast<float>(j + 1));
        m_log.dump(4, "spectral matrix D (i^2)\n", D);
        laAddDiagonal(*G, D);
    }
    m_log.dump(4, "matrix G = c * V_T * C * V\n", *G);

    const auto b = laTransposeDiagVector(V, *K, gamma);
    K.reset();

    float lambda;
    {
        LaDenseMatrix<float> bb(m, m);
        {
            const auto bT = transpose(*b);
            bT->scale(-1.0f / static_cast<float>(n));
            bb.setProduct(*b, *bT);
        }
        m_log.dump(4, "vector product bb = c*b_t*b\n", bb);

        LaPredictMatrix<float> P(*G, bb);
        if (m_log.at(4)) {
            std::fputs(formatText("DEBUG2 = %d\n", m_log.verbosity()).c_str(), stdout);
            std::fflush(stdout);
        }
        m_log.dump(4, "2x2 block matrix of G and bb\n", P);

        m_log.line(1, "starting second eigensolver\n");
        try {
            lambda = lowestEigenvalue(P);
        } catch (const std::runtime_error& failure) {
            throw prefixed("solving P failed: ", failure);
        }
    }

    if (m_log.at(1)) {
        // Only for the log: a failure here costs the line its figure, not the
        // prediction.
        float lowestG = std::numeric_limits<float>::quiet_NaN();
        try {
            lowestG = lowestEigenvalue(*G);
        } catch (const std::runtime_error&) {
        }
        m_log.line(1, "lowest eigenvalue of block matrix lambda* = %f lowest eigenvalue of G = %f\n", lambda, lowestG);
    }

    if (lambda == 0)
        throw solverFailure(ClaPredictCheck::lambdaZero, "lambda is 0");

    {
        LaDiagonalMatrix<float> shift(m);
        shift.fill(-lambda);
        laAddDiagonal(*G, shift);
    }
    m_log.dump(5, "Matrix G-lam*I\n", *G);
    try {
        G->invert();
    } catch (const std::runtime_error& failure) {
        throw prefixed("inverting G failed: ", failure);
    }
    m_log.line(2, "inversion done\n");
    m_log.dump(4, "(Matrix G-lam*I)-1\n", *G);

    LaVector<float> x(m);
    x.setProduct(*G, *b);
    double normSquared = 0;
    for (int j = 0; j < m; ++j)
        normSquared += static_cast<double>(x.getAt(j)) * x.getAt(j);
    if (!(normSquared <= n * (1 + kNormTolerance)))
        throw std::runtime_error(formatText(
            "G - lambda* I is singular or nearly so: lambda* = %f meets the lowest eigenvalue of G, so the labels "
            "do not determine the ranks",
            lambda));
    if (m_log.at(3)) {
        m_log.dump(3, "...inverted, times b \n", x);
        m_log.dump(3, "", V);
    }
    ranks.setProduct(V, x);
    if (m_log.at(3)) {
        float sum = 0, squares = 0;
        for (int i = 0; i < std::min(m, n); ++i) {
            sum += ranks.getAt(i);
            squares += ranks.getAt(i) * ranks.getAt(i);
        }
        m_log.line(3, "ranks*1 = %f ranks*ranks = %f\n", sum, squares);
    }
    ranks.addScalar(-((gammaPos + gammaNeg) * 0.5f));
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(ranks.getAt(i)))
            throw std::runtime_error(formatText("the rank of document %d is beyond single precision", i));
    }

    if (minErrThreshold)
        laMinErrorThreshold(ranks, gamma);
}

int Classifier::predict(std::span<float> labels, float c, float p, bool minErrThreshold) {
    if (!m_eigenvectors)
        throw std::runtime_error("no eigenvectors: decompose the Laplacian or read a decomposition first");
    if (!(p > -1 && p < 1))
        throw std::runtime_error(formatText("p = %f lies outside (-1, 1)", p));
    if (!std::isfinite(c))
        throw std::runtime_error(formatText("c = %f is not a finite number", c));

    // Two or more connected parts give the graph a second eigenvalue of 0:
    // the eigenvector of rank 0 then carries information too.
    std::unique_ptr<LaDenseMatrix<float>> allEigenvectors;
    const LaDenseMatrix<float>* V = m_eigenvectors.get();
    if (m_graph && m_graphDecomposed && m_graph->eigenvalue(1) == 0) {
        m_log.line(1, "disconnected matrix; using all eigenvectors\n");
        allEigenvectors = m_graph->eigenvectors(0, 1);
        V = allEigenvectors.get();
    }

    const int n = V->rowCount();
    const int m = V->colCount();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < m; ++j) {
            if (!std::isfinite(V->get(i, j)))
                throw std::runtime_error(formatText("eigenvector %d of document %d is not a finite number", j, i));
        }
    }
    const auto count = static_cast<long long>(labels.size());
    m_log.line(2, "%d documents, %d eigenvalues and %d learned items\n", n, m, count);
    if (count != n)
        throw std::runtime_error(formatText("%d labels for %d documents", count, n));
    m_log.dump(5, "eigenvectors\n", *V);

    int npos = 0, nneg = 0;
    for (const float label : labels) {
        npos += label > 0;
        nneg += label < 0;
    }
    m_log.line(2, "%d positive and %d negative samples\n", npos, nneg);
    if (npos + nneg >= n) {
        m_log.text(1, "no unlabeled docs to be classified\n");
        return 0;
    }
    if (npos == 0 || nneg == 0)
        throw std::runtime_error(
            formatText("labels of both classes are needed, not %d positive and %d negative", npos, nneg));

    LaVector<float> ranks(n);
    const float cMax = std::fabs(c);
    float cCur = c < 0 ? 1 : c;
    int error = 0;
    for (;;) {
        float pEst = p == 0 ? static_cast<float>(npos) / static_cast<float>(npos + nneg) : std::fabs(p);
        int solves = p < 0 ? 10 : 1;
        float prevRel = (1 + pEst) / pEst;
        bool solved = false;
        while (solves > 0) {
            try {
                predictCore(ranks, *V, pEst, cCur, n, m, labels, npos, nneg, minErrThreshold);
            } catch (const std::runtime_error& failure) {
                if (!solved) {
                    std::fill(labels.begin(), labels.end(), 0.0f);
                    throw;
                }
                m_log.text(1, "aborting p estimation because predict core failed: %s", failure.what());
                break;
            }
            solved = true;

            int posPred = 0, negPred = 0;
            error = 0;
            for (int i = 0; i < n; ++i) {
                const float rank = ranks.getAt(i);
                error += rank * labels[i] < 0;
                posPred += rank >= 0;
                negPred += rank < 0;
            }
            if (m_log.at(3)) {
                m_log.text(3, " ranks \n");
                ranks.print(m_log.stream());
            }
            const float pActual = static_cast<float>(posPred) / static_cast<float>(posPred + negPred);
            m_log.line(2, "   p.. actual p = %f vs. estimated p = %f (training error = %d) \n", pActual, pEst, error);
            const float rel = std::fabs(pEst - pActual) / pEst;
            if (rel > prevRel)
                m_log.line(2, "     p.. oscillation? (p=%f)\n", p);
            prevRel = rel;
            if (rel < 0.1)
                break;
            pEst = static_cast<float>((pActual - pEst) * 3.0 * 0.25 + pEst);
            --solves;
            m_log.line(2, "     p.. new estimated p = %f \n", pEst);
        }
        m_log.line(2, "  c.. c = %.0f (trying up to %.0f)\n", cCur, cMax);
        if (c < 0 && error != 0 && cCur < cMax)
            cCur *= 10;
        else
            break;
    }

    for (int i = 0; i < n; ++i)
        labels[i] = ranks.getAt(i);
    m_log.line(1, "prediction finished: training error %d\n", error);
    return error;
}

}  // namespace ovix
