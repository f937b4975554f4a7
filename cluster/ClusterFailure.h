#pragma once
// The checks of the clustering engine, internal ones included, by source.
// A failed one is thrown as a CheckFailure (sgt/CheckFailure.h) with the text
// "SOURCE CHECK VALUE\n": SOURCE names the part of the engine that failed,
// CHECK is the check's fixed number below and VALUE the offending value.

namespace ovix {

// "..\..\Cluster": the engine's life cycle, the k-means algorithm and the
// reading of results.
enum class ClusterCheck {
    emptyInput = 45,          // the input holds no document, or cannot be opened
    outputNotCreated = 180,   // the centroid file cannot be created
    rootNotWritten = 180,     // the centroid file's root record cannot be written
    firstCentroidPass = 329,  // the first iteration's centroid pass did not visit every document
    assignmentPass = 359,     // an iteration's assignment pass did not visit every document
    centroidPass = 396,       // an iteration's centroid pass did not visit every document
    depthZero = 415,          // a split with depth 0
    labelSeedsTooDeep = 421,  // initMode 2 with a depth above 1
    childrenNotAppended = 455,
    negativeSimilarity = 480,  // the sum of similarities, truncated
    reassignmentPass = 515,    // the pass after dissolving did not visit every document
    secondRun = 616,
    documentCountChanged = 669,  // the input's count, read again
};

// "..\..\CluGraph": the graph algorithm.
enum class CluGraphCheck {
    depthZero = 45,
    centroidPass = 196,  // the centroid pass after a cut did not visit every document
    secondRun = 292,
    copyPass = 316,  // copying the documents for the graph did not visit every one
};

// "cluster\CluHelper": the cluster table; VALUE is the index or id at fault.
enum class ClusterTableCheck {
    docClusterDoc = 367,
    childOffsetDoc = 384,
    childOffsetCluster = 385,
    recordCluster = 390,
    assignChildDoc = 400,
    assignChildCluster = 406,
    appendChildrenCluster = 420,
    setSizeCluster = 433,
    setCentroidCluster = 435,
    centroidNotUnit = 445,  // a stored centroid that is neither of unit length nor empty
    childOutsideNew = 513,  // an assignment beyond the cluster's children
};

const char* checkSource(ClusterCheck);
const char* checkSource(CluGraphCheck);
const char* checkSource(ClusterTableCheck);

}  // namespace ovix
