"""Throughput of FeatureDict.applyTokenString against scikit-learn's
CountVectorizer on the same documents, single-threaded, side by side in one
run:

  - FeatureDict: one dictionary per document, applyTokenString(text, 1, 1)
    with the defaults (stop words dropped, Porter stems), every dictionary
    kept, as CountVectorizer keeps every document's counts;
  - the same, each document packed with dvirFromFeatureDict and its
    dictionary dropped, as the main application does (each document then
    takes its nodes from the pool's reserve chunk);
  - CountVectorizer with an analyzer that does the same: letter tokens cut
    at case changes, 2 to 20 letters, lower-cased, stop words dropped, stemmed
    by NLTK's Porter stemmer;
  - CountVectorizer as it comes (its default word pattern, no stop words, no
    stemming).

Each file is one document (str); --brown cuts the Brown corpus (the demo's,
fetched into the cache folder) into N documents of 1.4 KB, as mails are.
Rounds alternate the contenders; a round of
a contender repeats the whole set of documents until it has run for at least
0.2 s, and each figure is the median of its rounds. Tokens/s counts the
letter tokens of the input, the same number for every contender. The first
pass is shown apart: FeatureDict's per-thread cache of token ids starts empty
there, while the rounds after it find the documents' words in it.

  PYTHONPATH=build/python /usr/bin/python3 bench/featuredict_bench.py [--rounds N] [--brown N | files...]
"""

import argparse
import math
import pathlib
import re
import statistics
import sys
import time

from nltk.stem.porter import PorterStemmer
from sklearn.feature_extraction.text import CountVectorizer

import ovix

TOKEN = re.compile(r"[A-Z][a-z]+|[A-Z]+|[a-z]+")
STOP_WORDS = frozenset(
    (pathlib.Path(__file__).resolve().parent.parent / "python" / "tests" / "stop_words.txt").read_text().split())


def stemming_analyzer():
    stem = PorterStemmer(mode=PorterStemmer.MARTIN_EXTENSIONS).stem

    def analyze(text):
        words = []
        for token in TOKEN.findall(text.split("\0", 1)[0]):
            if 2 <= len(token) <= 20:
                word = token.lower()
                if word not in STOP_WORDS:
                    words.append(stem(word))
        return words
    return analyze


def brown_pieces(count, size=1400):
    """The corpus's texts one after the other, cut into `count` pieces of
    `size` characters."""
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
    import brown
    text = " ".join(t.words for t in brown.load(brown.fetched_folder()))
    pieces = [text[i:i + size] for i in range(0, len(text) - size + 1, size)]
    if len(pieces) < count:
        raise SystemExit(f"the corpus gives {len(pieces)} pieces of {size} characters, not {count}")
    return pieces[:count]


def feature_dicts(documents):
    fids = ovix.Fids(False)
    dicts = []
    for text in documents:
        d = ovix.FeatureDict(fids)
        d.applyTokenString(text, 1, 1)
        dicts.append(d)
    return dicts


def feature_dicts_one_at_a_time(documents):
    fids = ovix.Fids(False)
    packed = []
    for text in documents:
        d = ovix.FeatureDict(fids)
        d.applyTokenString(text, 1, 1)
        packed.append(ovix.dvirFromFeatureDict(d))
    return packed


CONTENDERS = {
    "FeatureDict.applyTokenString": feature_dicts,
    "  the same, one at a time": feature_dicts_one_at_a_time,
    "CountVectorizer + NLTK stems": lambda docs: CountVectorizer(analyzer=stemming_analyzer()).fit_transform(docs),
    "CountVectorizer (plain)": lambda docs: CountVectorizer().fit_transform(docs),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--brown", type=int, metavar="N", help="N pieces of 1.4 KB of the Brown corpus")
    parser.add_argument("files", nargs="*", type=pathlib.Path)
    args = parser.parse_args()
    if args.brown:
        documents = brown_pieces(args.brown)
    else:
        files = args.files or sorted(p for p in pathlib.Path("/usr/share/common-licenses").iterdir() if p.is_file())
        documents = [f.read_bytes().decode("utf-8", "surrogateescape") for f in files]
    megabytes = sum(len(d.encode("utf-8", "surrogateescape")) for d in documents) / 1e6
    tokens = sum(len(TOKEN.findall(d)) for d in documents)

    first, repeats = {}, {}
    for name, run in CONTENDERS.items():  # the first pass warms up and sets the repeats
        start = time.perf_counter()
        run(documents)
        first[name] = time.perf_counter() - start
        repeats[name] = max(1, math.ceil(0.2 / first[name]))
    seconds = {name: [] for name in CONTENDERS}
    for _ in range(args.rounds):
        for name, run in CONTENDERS.items():
            start = time.perf_counter()
            for _ in range(repeats[name]):
                run(documents)
            seconds[name].append((time.perf_counter() - start) / repeats[name])

    print(f"{len(documents)} documents, {megabytes:.2f} MB, {tokens} letter tokens, {args.rounds} rounds (median)")
    median = {name: statistics.median(times) for name, times in seconds.items()}
    print(f"{'':<32} {'MB/s':>9} {'M tokens/s':>11}   first pass: {'MB/s':>9}")
    for name, t in median.items():
        print(f"{name:<32} {megabytes / t:9.2f} {tokens / t / 1e6:11.3f}   {'':>12}{megabytes / first[name]:9.2f}")
    names = list(CONTENDERS)
    for ours, label in zip(names[:2], ("FeatureDict", "one at a time")):
        for peer in names[2:]:
            print(f"ratio {label} / {peer}: {median[peer] / median[ours]:.1f}")


if __name__ == "__main__":
    main()
