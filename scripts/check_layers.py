#!/usr/bin/env python3
"""Fails when a file includes a header of a library that its target does not link.

    check_layers.py <source dir> <build dir>/layers.txt
    check_layers.py --self-test

layers.txt (written by cmake/Layers.cmake) names each folder's library, each
target's folder, sources and links. A library owns its folder, but not the
folders of libraries inside it. A file may include "a/b/X.h" when the library
that owns a/b is its own folder's, or is linked by the file's targets, directly
or through the public links of what they link. A file's targets are those that
list it, or else its .cpp, as a source; for any other file, every target of
its folder, tests left out unless the file is under tests/.
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+/[^"]+)"', re.M)


def read_layers(path):
    libraries, folders, sources, links, interface, tests = {}, {}, {}, {}, {}, set()
    for line in open(path):
        kind, _, rest = line.rstrip("\n").partition(" ")
        name, _, value = rest.partition(" ")
        words = [w for w in re.split(r"[;\s]+", value) if w and not w.endswith("-NOTFOUND")]
        if kind == "library":
            libraries[value] = name
        elif kind == "test":
            tests.add(name)
        elif kind == "target":
            folders[name] = value
        elif kind == "source":
            sources.setdefault(os.path.realpath(value), set()).add(name)
        elif kind in ("links", "interface"):
            # A private link of a static library reaches its users for linking only.
            (links if kind == "links" else interface)[name] = [w for w in words if not w.startswith("$<")]
    return libraries, folders, sources, links, interface, tests


def closure(target, links, interface):
    seen, todo = {target}, links.get(target, []) + interface.get(target, [])
    while todo:
        name = todo.pop()
        if name not in seen:
            seen.add(name)
            todo.extend(interface.get(name, []))
    return seen


def owner(path, libraries):
    """The library whose folder holds `path`, the deepest one."""
    folder = os.path.dirname(path)
    while folder:
        if folder in libraries:
            return libraries[folder]
        folder = os.path.dirname(folder)
    return None


def check(source_dir, layers):
    libraries, folders, sources, links, interface, tests = read_layers(layers)
    homes = {}
    for target, folder in folders.items():
        homes.setdefault(folder, []).append(target)
    failures = []
    for root, dirs, files in os.walk(source_dir):
        dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]
        for name in files:
            if not name.endswith((".h", ".cpp", ".i")):
                continue
            path = os.path.join(root, name)
            relative = os.path.relpath(path, source_dir)
            home = os.path.dirname(relative)
            while home and home not in homes:
                home = os.path.dirname(home)
            if home not in homes:
                continue
            targets = sources.get(os.path.realpath(path)) or sources.get(os.path.realpath(
                os.path.splitext(path)[0] + ".cpp"))
            if not targets:
                under_tests = "/tests/" in relative[len(home):] + "/"
                targets = {t for t in homes[home] if under_tests or t not in tests}
            allowed = set()
            for target in targets:
                allowed |= closure(target, links, interface)
            for header in INCLUDE.findall(open(path, errors="replace").read()):
                library = owner(header, libraries)
                if library and library != libraries.get(home) and library not in allowed:
                    failures.append(f"{relative}: includes {header} of {library}, "
                                    f"which {', '.join(sorted(targets))} does not link")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def self_test():
    """A tree of two libraries, a below b: b may include a, a may not include b."""
    with tempfile.TemporaryDirectory() as tree:
        for folder, text in (("a", '#include "a/A.h"\n'), ("b", '#include "a/A.h"\n#include "b/B.h"\n')):
            os.makedirs(os.path.join(tree, folder))
            open(os.path.join(tree, folder, folder.upper() + ".h"), "w").write(text)
        layers = os.path.join(tree, "layers.txt")
        open(layers, "w").write("library la a\nlibrary lb b\ntarget la a\ntarget lb b\n"
                                "links la \ninterface la \nlinks lb la\ninterface lb la\n")
        clean = check(tree, layers)
        open(os.path.join(tree, "a", "A.h"), "a").write('#include "b/B.h"\n')
        planted = check(tree, layers)
    print(f"self-test: clean tree {clean}, planted include {planted}")
    return 0 if (clean, planted) == (0, 1) else 1


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(check(sys.argv[1], sys.argv[2]))
