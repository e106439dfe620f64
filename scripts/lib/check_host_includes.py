#!/usr/bin/env python3
"""Checks the folders of host/src against host/layers.txt.

Every file sits in a folder, never at the top of src/; every include of the
tool's own headers is written from src/ ("result/reader.h"); and a folder
includes only itself and the folders its line in layers.txt names (a
top-level folder named there brings its subfolders). Prints
each breach and exits 1 if there is one.

  check_host_includes.py [ROOT]
"""
import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def read_layers(path):
    layers = {}
    for line in path.read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, _, uses = line.partition(":")
        layers[folder.strip()] = set(uses.split())
    return layers


def layer_of(relative_path, layers):
    """The longest folder in layers.txt that holds the path, or None."""
    parts = Path(relative_path).parts
    for length in range(len(parts) - 1, 0, -1):
        folder = "/".join(parts[:length])
        if folder in layers:
            return folder
    return None


def breaches(source_root, layers):
    for path in sorted(source_root.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(source_root).as_posix()
        own = layer_of(relative, layers)
        if own is None:
            yield f"{relative}: not inside a folder of layers.txt"
            continue
        for included in INCLUDE.findall(path.read_text()):
            target = layer_of(included, layers)
            if target is None or not (source_root / included).is_file():
                yield f"{relative}: \"{included}\" is not written from host/src"
            elif target != own and not ({target, target.split("/")[0]} & layers[own]):
                yield f"{relative}: {own}/ may not include {included}"


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2])
    layers = read_layers(root / "host" / "layers.txt")
    found = list(breaches(root / "host" / "src", layers))
    for breach in found:
        print(breach, file=sys.stderr)
    if found:
        return 1
    print(f"host includes: {len(layers)} folders, every include follows host/layers.txt")
    return 0


if __name__ == "__main__":
    sys.exit(main())
