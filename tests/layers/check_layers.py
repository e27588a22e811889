"""Checks that the source folders' includes run one way, that inside a
folder divided into tiers they run down the tiers, and that no chain of
includes leads back to the file it started from.

usage: check_layers.py SOURCE-ROOT LAYERS-FILE"""

import os
import re
import sys

# Each folder and the folders it may include from, besides itself: read
# from the layers file.
ALLOWED = {}
# Folders divided into tiers: for each, its tiers bottom first, each a
# list of the names of its parts.
TIERS = {}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def sources(root):
    for folder in ALLOWED:
        if not os.path.isdir(os.path.join(root, folder)):
            continue
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if name.endswith((".h", ".cpp")):
                yield f"{folder}/{name}"


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as source:
        return [name for name in INCLUDE.findall(source.read()) if "/" in name]


def read_layers(path):
    with open(path, encoding="utf-8") as layers:
        for line in layers:
            line = line.split("#")[0].strip()
            if not line:
                continue
            name, _, listed = line.partition(":")
            folder, _, tier = name.strip().partition("/")
            if tier:
                TIERS.setdefault(folder, []).append(listed.split())
            else:
                ALLOWED[folder] = set(listed.split())


def tier_of(path):
    """The tier of a file in a folder with tiers, or None."""
    folder, _, name = path.partition("/")
    stem = name.rsplit(".", 1)[0]
    best = None
    for level, parts in enumerate(TIERS.get(folder, [])):
        for part in parts:
            if stem.startswith(part) and (best is None or len(part) > len(best[1])):
                best = (level, part)
    return best[0] if best else None


def tier_faults(graph):
    faults = []
    for path, included in graph.items():
        folder = path.split("/")[0]
        if folder not in TIERS:
            continue
        mine = tier_of(path)
        if mine is None:
            faults.append(f"{path} belongs to no tier of {folder}/")
            continue
        for name in included:
            theirs = tier_of(name) if name.split("/")[0] == folder else None
            if theirs is not None and theirs > mine:
                faults.append(f"{path} includes {name}: a lower tier of {folder}/ may not use a higher one")
    return faults


def main():
    root = sys.argv[1]
    read_layers(sys.argv[2])
    graph = {path: includes(root, path) for path in sources(root)}
    faults = [f"the folder {folder}/ is missing" for folder in ALLOWED if not os.path.isdir(os.path.join(root, folder))]
    for path, included in graph.items():
        folder = path.split("/")[0]
        for name in included:
            target = name.split("/")[0]
            if target in ALLOWED and target != folder and target not in ALLOWED[folder]:
                faults.append(f"{path} includes {name}: {folder} may not use {target}")

    faults += tier_faults(graph)
    # A loop among files: depth-first search, a file met again on its own path.
    state = {}

    def visit(path, trail):
        if state.get(path) == "done":
            return
        if state.get(path) == "open":
            faults.append("include loop: " + " -> ".join(trail[trail.index(path):] + [path]))
            return
        state[path] = "open"
        for name in graph.get(path, []):
            if name in graph:
                visit(name, trail + [path])
        state[path] = "done"

    for path in graph:
        visit(path, [])
    for fault in faults:
        print("FAIL:", fault)
    print(f"{len(graph)} files, {sum(map(len, graph.values()))} includes of our own checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
