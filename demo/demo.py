"""The main job of the module on a few texts: feature ids of words and the
document counts of a small collection."""

import ovix

DOCUMENTS = [
    "spectral graph transducer",
    "graph laplacian eigenvectors",
    "porter stemmer and stop words",
    "graph clustering by spectral cuts",
]


def main():
    fids = ovix.Fids(True)
    counts = ovix.FidsDocCount(fids)
    for text in DOCUMENTS:
        for word in set(text.split()):
            counts.incrDocCount(fids.getFid(word))

    print("feature ids (first 8 bytes of MD5):")
    for fid, word in fids.getNewTokens():
        print(f"  {word:<14} {fid.hex():<16} in {counts.getDocCount(fid)} of {len(DOCUMENTS)} documents")
    print(counts.repr())


if __name__ == "__main__":
    main()
