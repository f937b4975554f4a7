"""The demo's clustering step: the texts' tf-idf vectors written to a
document-vector file and clustered by HierClus, by k-means and by spectral
cuts of their nearest-neighbour graph; each cluster is printed with its texts
and the heaviest words of its centroid."""

import os
import struct
import tempfile

import ovix


def tfidf_vectors(fids, texts):
    counts = ovix.FidsDocCount(fids)
    raw = []
    for text in texts:
        d = ovix.FeatureDict(fids)
        d.applyTokenString(text, 1, 1)
        vector = ovix.dvirFromFeatureDict(d)
        ovix.dvirIncrDocCounts(vector, counts)
        raw.append(vector)
    return [ovix.dvir2Weights(v, False, True, True, 0, ovix.FIXED_IDF_ALG_DROP, 0, counts) for v in raw]


def quietly(make):
    """Runs make() with the engine's progress lines (standard error) hidden."""
    saved, null = os.dup(2), os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 2)
    try:
        return make()
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(null)


def cluster_texts(texts, n_clusters=2):
    fids = ovix.Fids(True)
    vectors = tfidf_vectors(fids, texts)
    # A fid text drops the id's trailing blanks; a centroid holds all 8 bytes.
    words = {fid.ljust(8, b" "): word for fid, word in fids.getNewTokens()}
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "texts.vec")
        sink = ovix.FeatureDvecsFile(path)
        for i, vector in enumerate(vectors):
            sink.addFeatures(i, 0, vector)
        sink.close()
        for title, alg in (("k-means", ovix.CLASSIFIER_CLUSTERING_ALG_KMEANS),
                           ("spectral cuts of the 2-nn graph", ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH)):
            clustering = quietly(lambda: ovix.HierClus(path, n_clusters, False, 0, False, 0, alg, 2))
            members = {}
            for doc, cluster in clustering.getDocs():
                members.setdefault(cluster, []).append(doc)
            print(f"clusters by {title}:")
            for cluster, size, centroid, _ in clustering.getClusters(3):
                top = sorted((struct.unpack_from("<f", centroid, i + 8)[0], words[bytes(centroid[i:i + 8])])
                             for i in range(0, len(centroid), 12))
                print(f"  cluster {cluster} ({size} texts; {', '.join(w for _, w in reversed(top))}):")
                for doc in members.get(cluster, []):
                    print(f"    {texts[doc]}")
