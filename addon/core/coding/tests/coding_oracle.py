"""Python's own coders as the oracle of the add-on's.

    coding_oracle.py check <cases>     prints one line per case that Python disagrees with
    coding_oracle.py scatter <inputs>  replaces each input "<hex>" by "<base64 hex> <hex>": its
                                       base64.b64encode with CR, LF and "=" scattered through it

A case is a line "<kind> <input hex> <output hex>"; texts and bytes travel in hex.
"""
import base64
import random
import sys
import urllib.parse

RESERVED = set(b'"<>%\\^[]`+$,@:;/!#?=&')


def lined(data):
    """base64.b64encode with a CR LF after every 19th full group."""
    encoded = base64.b64encode(data)
    full = len(data) // 3 * 4
    lines = b"".join(encoded[i:min(i + 76, full)] + (b"\r\n" if i + 76 <= full else b"") for i in range(0, full, 76))
    return lines + encoded[full:]


def bare_bytes(encoded):
    """The bytes of an encoded text that are not part of a %XX escape."""
    i = 0
    while i < len(encoded):
        if encoded[i:i + 1] == b"%":
            i += 3
        else:
            yield encoded[i]
            i += 1


def disagreement(kind, given, got):
    if kind == "encode":
        text = given.decode("utf-8")
        if urllib.parse.unquote(got.decode("ascii"), errors="strict") != text:
            return "does not decode back"
        if any(b < 33 or b > 122 or b in RESERVED for b in bare_bytes(got)):
            return "a byte stands bare that must be escaped"
    elif kind == "decode":
        try:
            expected = urllib.parse.unquote_plus(given.decode("utf-8"))
        except UnicodeDecodeError:
            # unquote_plus takes text only; this is what it does to bytes.
            expected = urllib.parse.unquote_to_bytes(given.replace(b"+", b" ")).decode("utf-8", "replace")
        if got != expected.encode("utf-8"):
            return "differs from unquote_plus"
    elif kind == "base64":
        if got != lined(given):
            return "differs from b64encode with the line rule"
        if base64.b64decode(got, validate=False) != given:
            return "b64decode does not give the input back"
    else:
        return "unknown kind"
    return None


def check(path):
    for number, line in enumerate(open(path), 1):
        kind, given, got = line.split(" ")
        problem = disagreement(kind, bytes.fromhex(given), bytes.fromhex(got))
        if problem:
            print(f"case {number} ({kind} {given[:80]}): {problem}")


def scatter(path):
    draw = random.Random(20)
    cases = []
    for line in open(path):
        data = line.strip()
        encoded = bytearray(base64.b64encode(bytes.fromhex(data)))
        for _ in range(draw.randrange(1, 9)):
            at = draw.randrange(0, len(encoded) + 1)
            encoded[at:at] = draw.choice([b"\r", b"\n", b"\r\n", b"="])
        cases.append(f"{bytes(encoded).hex()} {data}\n")
    open(path, "w").writelines(cases)


if __name__ == "__main__":
    {"check": check, "scatter": scatter}[sys.argv[1]](sys.argv[2])
