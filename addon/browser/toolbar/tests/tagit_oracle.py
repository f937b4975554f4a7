"""Python's urllib.parse, json and base64 as the oracle of the Tag It address.

    tagit_oracle.py unquote <path>  prints the tag of a Tag It path, unquoted
    tagit_oracle.py check <cases>   prints one line per case that Python disagrees with

A case is a line "<id> <title hex> <address hex> <path>": the interest id, the
page's title and address in hex, and the path that the toolbar built for them.
"""
import base64
import json
import sys
import urllib.parse

PREFIX = "/TagItDialog?tag="


def tag(path):
    if not path.startswith(PREFIX):
        raise ValueError("not a Tag It path")
    return urllib.parse.unquote(path[len(PREFIX):], errors="strict")


def disagreement(interest, title, address, path):
    try:
        value = json.loads(tag(path), strict=False)
    except ValueError as error:
        return f"not JSON: {error}"
    if not isinstance(value, dict) or list(value) != [interest]:
        return "the one key is not the interest id"
    coded = value[interest]
    if not isinstance(coded, list) or len(coded) != 2:
        return "the value is not a pair"
    if base64.b64decode(coded[0]) != title:
        return "the title does not come back"
    if base64.b64decode(coded[1]) != address:
        return "the address does not come back"
    return None


def check(cases):
    for number, line in enumerate(open(cases), 1):
        interest, title, address, path = line.rstrip("\n").split(" ")
        problem = disagreement(interest, bytes.fromhex(title), bytes.fromhex(address), path)
        if problem:
            print(f"case {number} ({line[:80].strip()}): {problem}")


if __name__ == "__main__":
    {"unquote": lambda path: print(tag(path)), "check": check}[sys.argv[1]](sys.argv[2])
