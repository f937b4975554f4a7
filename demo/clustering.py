"""The demo's clustering step: the texts' weighted vectors written to a
document-vector file and clustered by HierClus, by spectral cuts of their
nearest-neighbour graph; each cluster is printed with its size, its genres and
the heaviest words of its centroid."""

import collections
import os
import struct
import tempfile

import ovix

import brown
import road


def hierclus(path, clusters, alg, neighbours=road.NEIGHBOURS):
    """HierClus over a document-vector file, its progress lines (standard
    error) hidden."""
    saved, null = os.dup(2), os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 2)
    try:
        return ovix.HierClus(path, clusters, False, 0, False, 0, alg, neighbours)
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(null)


def show(texts, clusters, stages):
    """Clusters the texts and prints the clusters."""
    fids = ovix.Fids(True)
    vectors = road.weighted_vectors([t.words for t in texts], fids, stages)
    # A fid text drops the id's trailing blanks; a centroid holds all 8 bytes.
    words = {fid.ljust(8, b" "): word for fid, word in fids.getNewTokens()}
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "texts.vec")
        sink = ovix.FeatureDvecsFile(path)
        for i, vector in enumerate(vectors):
            sink.addFeatures(i, 0, vector)
        sink.close()
        with stages.stage("clustering"):
            clustering = hierclus(path, clusters, ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH)
        # The centroids are read back from the file beside the vectors.
        found = clustering.getClusters(6)
    members = collections.defaultdict(list)
    for doc, cluster in clustering.getDocs():
        members[cluster].append(doc)
    print(f"clusters by spectral cuts of the {road.NEIGHBOURS}-nearest-neighbour graph:")
    for cluster, size, centroid, _ in found:
        heaviest = sorted(((struct.unpack_from("<f", centroid, i + 8)[0], words[bytes(centroid[i:i + 8])])
                           for i in range(0, len(centroid), 12)), reverse=True)
        genres = collections.Counter(texts[doc].genre for doc in members[cluster]).most_common(3)
        print(f"  {cluster:>3} {size:>4} texts  " + ", ".join(f"{n} {brown.GENRES[g]}" for g, n in genres))
        print(f"       {' '.join(word for _, word in heaviest)}")
