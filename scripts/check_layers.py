#!/usr/bin/env python3
"""Fails when a source under src/ includes a header of a folder it may not depend on.

Each folder lists the folders it may include besides its own. The command-line tool and the
application sit on top; the domain layer sits at the bottom and includes nothing of the program.
Archive and alerts include nothing of each other: what both need lives in domain.
"""
import pathlib
import re
import sys

ALLOWED = {
    "domain": set(),
    "store": set(),
    "report": {"store"},
    "images": {"ui", "store"},
    "alerts": {"domain", "store", "ui"},
    "archive": {"domain", "store", "ui"},
    "lists": {"domain", "store", "report", "alerts", "archive", "ui"},
    "fees": {"domain", "store", "report", "archive", "ui"},
    "claims": {"domain", "store", "report", "ui"},
    "admin": {"store", "ui"},
    "ui": {"domain", "store", "report"},
    "app": {"domain", "store", "report", "ui", "alerts", "archive", "lists", "fees", "claims", "images", "admin"},
    "cli": {"domain", "store", "report", "alerts", "archive", "lists", "fees", "claims", "images", "admin"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in {".h", ".cpp"}:
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in ALLOWED:
            faults.append(f"{path}: folder {folder} has no entry in the layer table")
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if target != folder and target not in ALLOWED[folder]:
                faults.append(f"{path}: {folder} may not include {target}/")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
