"""The module's classification road, from texts to ranks:

  texts -> FeatureDict (tokens, stop words, Porter stems, feature ids)
        -> dvirFromFeatureDict (packed count vectors)
        -> dvir2Weights against a FidsDocCount (log tf-idf, unit length)
        -> FeatureDvecsMem (the batch as a table of rows)
        -> ClassifierWrapper: buildKnnGraph, decomposeLaplacian, predict,
           computeClusters (the best-ranked texts in groups)

The graph and its decomposition are made once per batch; each labelling of
the batch is then one predict."""

import time
from contextlib import contextmanager

import ovix

# The road's settings; the benchmark runs the same ones.
NEIGHBOURS = 10      # k of the k-nearest-neighbour graph
EIGENVECTORS = 40    # eigenpairs of the Laplacian asked for
COST = 1000.0        # c: the weight of the labelled documents
MIN_DOC_COUNT = 2    # features in fewer documents carry no weight
MIN_GROUP_SIZE = 3   # the smallest group of best-ranked texts


class Stages:
    """Wall-clock seconds per named stage, summed over its runs."""

    def __init__(self):
        self.seconds = {}

    @contextmanager
    def stage(self, name):
        start = time.perf_counter()
        try:
            yield
        finally:
            self.seconds[name] = self.seconds.get(name, 0.0) + time.perf_counter() - start


def weighted_vectors(texts, fids, stages):
    """The texts' log tf-idf vectors, unit length, as packed vectors."""
    with stages.stage("features"):
        counts = ovix.FidsDocCount(fids)
        packed = []
        for text in texts:
            features = ovix.FeatureDict(fids)
            features.applyTokenString(text, 1, 1)
            packed.append(ovix.dvirFromFeatureDict(features))
        for vector in packed:
            ovix.dvirIncrDocCounts(vector, counts)
    with stages.stage("weights"):
        return [ovix.dvir2Weights(v, False, True, True, 0, ovix.FIXED_IDF_ALG_DROP, MIN_DOC_COUNT, counts)
                for v in packed]


class Road:
    """One batch of texts, ready to classify: its graph is built and its
    Laplacian decomposed."""

    def __init__(self, texts, stages):
        self.stages = stages
        self.size = len(texts)
        self.vectors = ovix.FeatureDvecsMem(self.size)
        for i, vector in enumerate(weighted_vectors(texts, ovix.Fids(False), stages)):
            self.vectors.addFeatures(i, 0, vector)
        self.vectors.close()
        self.classifier = ovix.ClassifierWrapper(0)
        with stages.stage("graph"):
            self.classifier.buildKnnGraph(self.vectors.getDvecs(), self.size, NEIGHBOURS, 0.0)
        with stages.stage("decomposition"):
            self.classifier.decomposeLaplacian(EIGENVECTORS)

    def ranks(self, labels):
        """One rank per text for labels of 1 (positive), -1 (negative) and 0
        (unknown): above 0 means predicted positive. The fraction of positives
        is taken from the labels."""
        with self.stages.stage("predict"):
            return self.classifier.predict(COST, 0.0, list(labels), False, False, 0, 0, 0, False)

    def groups(self, ranks, count):
        """The texts ranked at or above 0 in at most `count` groups: per text
        its group, -1 when ranked below 0, -2 for a near-copy of another."""
        with self.stages.stage("rank groups"):
            return self.classifier.computeClusters(count, MIN_GROUP_SIZE, 0.0, list(ranks))
