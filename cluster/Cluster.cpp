// Cluster: the engine's life cycle, the k-means algorithm and the reading of
// its results. The graph algorithm is in CluGraph.cpp.

#include "cluster/Cluster.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

#include "base/FormatFixed.h"
#include "sgt/LaPlacian.h"
#include "sgt/Rand15.h"

namespace ovix {

namespace {

// Opens the input, which must hold at least one document.
std::unique_ptr<DocVec> openInput(const char* path) {
    auto input = std::make_unique<DocVec>(path ? path : "", DOCVEC_FORMAT_BINARY, false);
    if (input->nDocs() < 1)
        throw CheckFailure(ClusterCheck::emptyInput, input->nDocs());
    return input;
}

}  // namespace

Cluster::Cluster(const char* inputPath, const char* memberBase)
    : m_start(std::chrono::steady_clock::now()),
      m_input(openInput(inputPath)),
      m_memberBase(memberBase ? memberBase : ""),
      m_nDocs(m_input->nDocs()),
      m_table(m_nDocs),
      m_workspace(0) {}

Cluster::~Cluster() = default;

int Cluster::openOutput(const char* outputPath) {
    if (!outputPath || !*outputPath)
        return 0;
    m_output = std::make_unique<DocVec>(outputPath, DOCVEC_FORMAT_BINARY, true);
    if (!m_output->isOpen())
        throw CheckFailure(ClusterCheck::outputNotCreated, -1);
    try {
        m_output->writeDoc(0, 0, {});
    } catch (const DocVecError&) {
        throw CheckFailure(ClusterCheck::rootNotWritten, -1);
    }
    return 1;
}

void Cluster::closeOutput() {
    if (m_output)
        m_output->close();
    m_output.reset();
}

void Cluster::startRun(SourceCheck check) {
    if (m_ran)
        throw CheckFailure(check, 1);
    m_ran = true;
    // The graph of random partners (k < 0) draws from it too.
    threadRand15().seed(seed >= 0 ? static_cast<std::uint32_t>(seed) : static_cast<std::uint32_t>(std::time(nullptr)));
}

// --- Passes and progress -------------------------------------------------------

void Cluster::forEachDocument(SourceCheck check, char mark, const Visit& visit) {
    int visited = 0;
    m_input->forEachDoc([&](int number, const DocVecRecord& record) {
        // The file may have been replaced since the run began: never index
        // past the documents the table holds.
        if (number >= m_nDocs)
            throw CheckFailure(check, m_input->nDocs());
        visit(number, record);
        if (mark)
            showProgress(mark, number);
        ++visited;
        return true;
    });
    if (visited != m_nDocs)
        throw CheckFailure(check, visited);
}

void Cluster::showProgress(char mark, int number) const {
    if (verbosity > 3) {
        if (number % 1000 == 0) {
            std::string text(1, mark);
            appendInt(text, number);
            say(text);
        }
        std::fflush(stderr);
    } else if (verbosity > 1 && number % 1000 == 0 && number >= 1000) {
        std::string text = "\r";
        appendInt(text, number);
        say(text);
    }
}

double Cluster::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void Cluster::say(const std::string& text) const {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void Cluster::sayTime(const char* prefix) const {
    std::string line = prefix;
    line += "t=";
    appendFixed(line, elapsedSeconds(), 6);
    line += '\n';
    say(line);
}

void Cluster::sayHeader(int c, int k) const {
    std::string text(46, '*');
    text += "\n* splitting cluster ";
    appendInt(text, c);
    text += " (";
    appendInt(text, m_table.record(c).size);
    text += " docs) into ";
    appendInt(text, k);
    text += " clusters\n*\n";
    say(text);
    sayTime("* ");
}

void Cluster::sayFooter(const std::string& outcome) const {
    say(outcome);
    sayTime("* ");
    say(std::string(47, '*') + "\n\n");
}

void Cluster::sayChildren(int c) const {
    const ClusterRecord& r = m_table.record(c);
    std::string text;
    for (int i = 0; i < m_workspace.count(); ++i) {
        text += "* * subcluster ";
        appendInt(text, r.firstChild + i);
        text += " - ";
        appendInt(text, m_workspace.documents(i));
        text += " documents\n";
    }
    say(text);
}

// --- k-means -------------------------------------------------------------------

void Cluster::run(int k) {
    startRun(ClusterCheck::secondRun);
    m_workspace = SplitWorkspace(maxCentroidFeatures);
    m_workspace.reset(k);
    split(0, 1);
    closeOutput();
}

void Cluster::split(int c, int depth) {
    if (depth == 0)
        throw CheckFailure(ClusterCheck::depthZero, 0);
    if (initMode == 2 && depth > 1)
        throw CheckFailure(ClusterCheck::labelSeedsTooDeep, depth);
    m_current = c;
    if (initMode != 1 && initMode != 2)
        initMode = 1;

    const std::size_t entry = static_cast<std::size_t>(depth - 1);
    const int k = entry < clustersPerDepth.size() ? clustersPerDepth[entry] : 0;
    const int first = m_table.appendChildren(c, k);
    if (first < 0)
        throw CheckFailure(ClusterCheck::childrenNotAppended, first);
    m_workspace.reset(k);
    initialAssignment(c, k);

    if (verbosity > 0)
        sayHeader(c, k);
    m_iteration = 1;
    float previous = 0;
    for (;;) {
        m_sumSimilarity = 0;
        iterate(c);
        const double sum = m_sumSimilarity;
        if (sum < 0)
            throw CheckFailure(ClusterCheck::negativeSimilarity, static_cast<long long>(std::fmax(sum, -9e18)));
        // Both sums 0 make a NaN, which does not stop the loop.
        if (m_iteration > maxIterations || (sum - previous) / sum < 0.01)
            break;
        previous = static_cast<float>(sum);
    }
    if (verbosity > 0)
        sayFooter("");

    dissolveSmallChildren(c);
    storeChildren(c);

    if (depth >= 2)
        for (int i = 0; i < k; ++i)
            if (m_table.record(first + i).size > minSplitSize)
                split(first + i, depth - 1);
}

void Cluster::initialAssignment(int c, int k) {
    Rand15& random = threadRand15();
    for (int doc = 0; doc < m_nDocs; ++doc) {
        if (m_table.docCluster(doc) != c)
            continue;
        int offset = 0;
        if (initMode == 1) {
            if (doc < k) {
                offset = doc;
            } else {
                const double r = random.next();
                offset = std::min(static_cast<int>(r * k / 32767.0), k - 1);
            }
        }
        m_table.assignChild(doc, c, offset);
    }
}

void Cluster::centroidPass(int c, SourceCheck check) {
    forEachDocument(check, '-', [&](int position, const DocVecRecord& record) {
        const int offset = m_table.childOffset(position, c);
        if (offset >= 0)
            m_workspace.add(offset, record.entries);
    });
}

void Cluster::assignmentPass(int c, ClusterCheck check) {
    m_workspace.zeroCounts();
    const int k = m_workspace.count();
    std::vector<float> similarities(static_cast<std::size_t>(k));
    forEachDocument(check, '+', [&](int position, const DocVecRecord& record) {
        if (m_table.childOffset(position, c) < 0)
            return;
        // The first of the most similar children, child 0 when none is
        // similar at all.
        m_workspace.similarities(record.entries, similarities);
        int best = 0;
        float bestSimilarity = 0;
        for (int i = 0; i < k; ++i) {
            const float s = similarities[static_cast<std::size_t>(i)];
            if (s > bestSimilarity) {
                best = i;
                bestSimilarity = s;
            }
        }
        m_table.assignChild(position, c, best);
        m_workspace.countDocument(best);
        m_sumSimilarity += bestSimilarity;
    });
}

void Cluster::iterate(int c) {
    const std::string rule = "* " + std::string(48, '*') + "\n";
    if (m_iteration == 1) {
        m_workspace.clear();
        if (initMode == 2) {
            // Child i starts from the documents labelled i + 1, wherever they are.
            const int k = m_workspace.count();
            forEachDocument(ClusterCheck::firstCentroidPass, '-', [&](int, const DocVecRecord& record) {
                if (record.label >= 1 && record.label <= k)
                    m_workspace.add(record.label - 1, record.entries);
            });
        } else {
            centroidPass(c, ClusterCheck::firstCentroidPass);
        }
        if (verbosity > 1) {
            say("\n" + rule + "* * initialization \n");
            sayChildren(c);
            sayTime("* * ");
            say(rule + "*\n");
        }
        m_workspace.normalise();
    }

    assignmentPass(c, ClusterCheck::assignmentPass);
    if (verbosity > 1) {
        std::string text = "\n" + rule + "* * iteration ";
        appendInt(text, m_iteration);
        text += '\n';
        say(text);
        sayChildren(c);
        text = "* * sum of similarities to cluster centers = ";
        appendFixed(text, m_sumSimilarity, 2);
        text += " \n";
        say(text);
        sayTime("* * ");
        say(rule + "*\n");
    }
    ++m_iteration;

    // With a single iteration the centroids stay the initial ones.
    if (maxIterations >= 2) {
        m_workspace.clear();
        centroidPass(c, ClusterCheck::centroidPass);
        if (verbosity > 1)
            say("\n");
        m_workspace.normalise();
    }
}

void Cluster::dissolveSmallChildren(int c) {
    if (!m_workspace.dissolveSmallerThan(minClusterSize))
        return;
    assignmentPass(c, ClusterCheck::reassignmentPass);
    if (verbosity > 1)
        say("\n");
}

void Cluster::storeChildren(int c) {
    const int first = m_table.record(c).firstChild;
    for (int i = 0; i < m_workspace.count(); ++i) {
        m_table.setSize(first + i, m_workspace.documents(i));
        std::vector<DocVecI> centroid = m_workspace.centroid(i);
        if (m_output)
            m_output->writeDoc(first + i, 0, centroid);
        m_table.setCentroid(first + i, std::move(centroid));
    }
}

// --- Results -------------------------------------------------------------------

int Cluster::docCount() {
    const int count = m_input->readHeader();
    if (count != m_nDocs)
        throw CheckFailure(ClusterCheck::documentCountChanged, count);
    m_readIndex = 0;
    return m_nDocs;
}

int Cluster::readDocument(DocVecRecord& record) {
    const int cluster = m_table.docCluster(m_readIndex);
    m_input->readDoc(record);
    ++m_readIndex;
    return cluster;
}

int Cluster::clusterCount() {
    m_current = 0;
    return m_table.clusterCount();
}

Cluster::ClusterInfo Cluster::nextCluster() {
    const int id = m_current;
    const ClusterRecord& r = m_table.record(id);
    ClusterInfo info{id, r.parent, r.size, r.centroid, std::nullopt};
    ++m_current;
    if (info.size > 0 && !m_memberBase.empty())
        info.memberFile = writeMembers(id);
    return info;
}

std::string Cluster::writeMembers(int id) {
    std::string name = m_memberBase + ".clu" + std::to_string(id);
    DocVec members(name, DOCVEC_FORMAT_BINARY, true);
    m_input->forEachDoc([&](int position, const DocVecRecord& record) {
        if (m_table.docCluster(position) == id) {
            members.writeDoc(record.id, 0, record.entries);
            std::fprintf(stderr, "            docindex %d, docid %d\n", position, record.id);
        }
        return true;
    });
    members.close();
    return name;
}

}  // namespace ovix
