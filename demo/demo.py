"""The main job of the module on a few texts: a bag of features per document,
with feature ids of stemmed words, and the document counts of the small
collection."""

import ovix
from clustering import cluster_texts

DOCUMENTS = [
    "The Spectral Graph Transducer labels documents by graph cuts.",
    "Graph Laplacian eigenvectors, and the eigenvalues of the Laplacian.",
    "A Porter stemmer and stop words: running, runs and ran.",
    "Clustering the graph by spectral cuts; clusters of clustered documents.",
]


def main():
    fids = ovix.Fids(True)
    counts = ovix.FidsDocCount(fids)
    dicts = []
    for text in DOCUMENTS:
        d = ovix.FeatureDict(fids)
        d.applyTokenString(text, 1, 1)
        dicts.append(d)
        for fid, _ in d.getList():
            counts.incrDocCount(fid)

    words = {fid: word for fid, word in fids.getNewTokens()}
    for text, d in zip(DOCUMENTS, dicts):
        print(text)
        print(f"  {d.getFeatureCount()} features, {d.getUniqueFeatureCount()} distinct:",
              ", ".join(f"{words[fid]}x{n}" if n > 1 else words[fid] for fid, n in d.getList()))
    print("feature ids (first 8 bytes of MD5) and document counts:")
    for fid, word in sorted(words.items(), key=lambda item: item[1]):
        print(f"  {word:<12} {fid.hex():<16} in {counts.getDocCount(fid)} of {len(DOCUMENTS)} documents")
    print(counts.repr())
    cluster_texts(DOCUMENTS)


if __name__ == "__main__":
    main()
